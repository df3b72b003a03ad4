"""The package installs with pip, from the source folder and from a wheel,
into a fresh virtual environment, and uninstalls cleanly. pip builds it
with the in-tree backend and nothing from any package index.

QUILLFERN_PIP_BUILD_DIR (./test.sh sets it) keeps the backend's CMake build
between runs, so that only the first run compiles the library."""

import base64
import csv
import hashlib
import io
import os
import subprocess
import sys
import tarfile
import zipfile

import pytest

PACKAGE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(PACKAGE, "backend"))
import quillfern_build  # noqa: E402

BASE_PYTHON = os.environ.get("QUILLFERN_VENV_PYTHON") or (
    "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable)
CHECK = "import quillfern; print(quillfern.decrypt_password(5, quillfern.encrypt_password(5, b'Secret1')))"


def record_of(read, names):
    """Checks a RECORD against the files it lists; returns the listed names."""
    dist_info = next(n.split("/")[0] for n in names if n.endswith(".dist-info/RECORD"))
    rows = list(csv.reader(io.StringIO(read(f"{dist_info}/RECORD").decode())))
    for name, digest, size in rows:
        if name == f"{dist_info}/RECORD":
            assert digest == size == ""
            continue
        data = read(name)
        assert digest == "sha256=" + base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        assert int(size) == len(data)
    return {row[0] for row in rows}


def test_the_backend_metadata_and_tag(tmp_path):
    name = quillfern_build.prepare_metadata_for_build_wheel(str(tmp_path))
    metadata = (tmp_path / name / "METADATA").read_text()
    version = quillfern_build._metadata()["version"]
    assert name == f"quillfern-{version}.dist-info"
    assert "Name: quillfern\n" in metadata and f"Version: {version}\n" in metadata
    tag = quillfern_build._wheel_tag()
    assert f"Tag: {tag}\n" in (tmp_path / name / "WHEEL").read_text()
    from pip._vendor.packaging import tags
    assert tag in {str(t) for t in tags.sys_tags()}  # pip installs it here


def test_the_source_distribution_carries_the_library(tmp_path):
    name = quillfern_build.build_sdist(str(tmp_path))
    with tarfile.open(tmp_path / name) as archive:
        members = set(archive.getnames())
        base = name[: -len(".tar.gz")]
        for member in ["pyproject.toml", "backend/quillfern_build.py", "src/binding/binding.hpp", "PKG-INFO",
                       "library/CMakeLists.txt", "library/quillfern/quillfern.hpp", "library/cmake/version.hpp.in"]:
            assert f"{base}/{member}" in members
        assert not any("__pycache__" in m for m in members)


@pytest.mark.install
def test_pip_installs_into_a_fresh_virtual_environment(tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([BASE_PYTHON, "-m", "venv", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    env = {k: v for k, v in os.environ.items() if not k.startswith(("PYTHON", "QUILLFERN", "ASAN", "LD_PRELOAD"))}
    env["QUILLFERN_JOBS"] = "2"
    if os.environ.get("QUILLFERN_PIP_BUILD_DIR"):
        env["QUILLFERN_BUILD_DIR"] = os.path.abspath(os.environ["QUILLFERN_PIP_BUILD_DIR"])
    pip = [python, "-m", "pip", "--disable-pip-version-check", "--no-cache-dir"]

    def run(*command, cwd=tmp_path):
        return subprocess.run(command, cwd=cwd, env=env, check=True, capture_output=True, text=True).stdout

    def site_entries():
        site = run(python, "-c", "import sysconfig; print(sysconfig.get_paths()['platlib'])").strip()
        return {name for name in os.listdir(site) if name.startswith("quillfern")}, site

    run(*pip, "install", PACKAGE)
    assert run(python, "-c", CHECK).strip() == "b'Secret1'"
    entries, site = site_entries()
    assert entries == {"quillfern", f"quillfern-{quillfern_build._metadata()['version']}.dist-info"}
    installed = run(python, "-c", "import quillfern; print(quillfern.__file__)").strip()
    assert installed.startswith(site)

    run(*pip, "uninstall", "-y", "quillfern")
    assert site_entries()[0] == set()

    wheels = tmp_path / "wheels"
    run(*pip, "wheel", "--no-deps", "-w", str(wheels), PACKAGE)
    (wheel,) = os.listdir(wheels)
    with zipfile.ZipFile(wheels / wheel) as archive:
        names = archive.namelist()
        listed = record_of(archive.read, names)
    assert listed == set(names)
    assert {"quillfern/__init__.py", "quillfern/__init__.pyi", "quillfern/_types.py", "quillfern/py.typed"} <= listed
    assert any(n.startswith("quillfern/_quillfern.") and n.endswith(".so") for n in listed)

    run(*pip, "install", "--no-index", str(wheels / wheel))
    assert run(python, "-c", CHECK).strip() == "b'Secret1'"
    run(*pip, "uninstall", "-y", "quillfern")
    assert site_entries()[0] == set()
