#!/usr/bin/env python3
"""Calls per second of the package's short-text operations from a plain
Python loop, throughput on long texts, and what releasing the GIL gives
two threads.

    PYTHONPATH=build/release/python python3 python/bench/bench.py [--check]

(or with the package installed). Each figure is the best of five runs.
--check exits with status 1 when decrypt_password makes fewer than
500,000 calls per second, the package's target.
"""

import argparse
import os
import sys
import threading
import time

import quillfern

TARGET_CALLS = 500_000


def best(run, repeats=5):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def calls_per_second(function, *arguments, count=500_000):
    def loop():
        for _ in range(count):
            function(*arguments)
    return count / best(loop)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true", help="fail below the decrypt_password target")
    options = parser.parse_args()

    scrambled = quillfern.encrypt_password(5, b"Secret1")
    control = quillfern.Encryption()
    rows = [
        ("len(bytes), the loop and one builtin call", len, (scrambled,)),
        ("decrypt_password(5, bytes of 7)", quillfern.decrypt_password, (5, scrambled)),
        ("decrypt_password(5, str of 7)", quillfern.decrypt_password, (5, scrambled.decode())),
        ("encrypt_password(5, bytes of 7)", quillfern.encrypt_password, (5, b"Secret1")),
        ("convert(bytes of 16)", quillfern.convert, (b"0123456789abcdef",)),
        ("fast_blow_fish(bytes of 16, bytes of 8)", quillfern.fast_blow_fish, (b"0123456789abcdef", b"password")),
        ("Encryption().DecryptPassword(5, bytes of 7)", control.DecryptPassword, (5, scrambled)),
    ]
    print(f"quillfern {quillfern.__version__}, Python {sys.version.split()[0]}, {os.cpu_count()} cores")
    print(f"{'short texts, from a Python loop':48} {'calls/s':>12} {'ns/call':>9}")
    figures = {}
    for name, function, arguments in rows:
        rate = calls_per_second(function, *arguments)
        figures[name] = rate
        print(f"{name:48} {rate:12,.0f} {1e9 / rate:9.0f}")

    big = os.urandom(32 << 20)
    hex_form = quillfern.convert(big)
    print(f"\n{'long texts (32 MiB)':48} {'MB/s':>12}")
    for name, run in [("convert", lambda: quillfern.convert(big)),
                      ("deconvert", lambda: quillfern.deconvert(hex_form)),
                      ("fast_blow_fish", lambda: quillfern.fast_blow_fish(big, b"password"))]:
        print(f"{name:48} {len(big) / best(run, 3) / 1e6:12,.0f}")

    # Two threads each convert a long text: with the GIL released they run
    # side by side (on a machine with two free cores, in about the time of one).
    def two_threads():
        threads = [threading.Thread(target=quillfern.fast_blow_fish, args=(big, b"pw")) for _ in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
    one = best(lambda: quillfern.fast_blow_fish(big, b"pw"), 3)
    both = best(two_threads, 3)
    print(f"\nfast_blow_fish of 32 MiB: one call {one * 1e3:.1f} ms, two threads at once {both * 1e3:.1f} ms "
          f"({2 * one / both:.2f}x the work per unit of time)")

    rate = figures["decrypt_password(5, bytes of 7)"]
    print(f"\ndecrypt_password: {rate:,.0f} calls/s (target {TARGET_CALLS:,})")
    if options.check and rate < TARGET_CALLS:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
