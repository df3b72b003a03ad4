"""The file operations: paths of every kind, the generator state, and the
file errors as OSErrors, with nothing half-written after a failure."""

import errno
import os
import pickle
import resource
import signal
import stat
import tempfile

import pytest

import quillfern

NEW_PROCESS_STATE = 0x50000


def test_paths_may_be_str_bytes_or_path_like(tmp_path):
    source = tmp_path / "in"
    source.write_bytes(b"Hello, world!\n")
    by_path = quillfern.encode_decode_file(source, tmp_path / "a", b"secret")
    by_str = quillfern.encode_decode_file(str(source), str(tmp_path / "b"), "secret")
    by_bytes = quillfern.encode_decode_file(os.fsencode(source), os.fsencode(tmp_path / "c"), b"secret", None)
    assert by_path == by_str == by_bytes == 2082012
    assert (tmp_path / "a").read_bytes() == (tmp_path / "b").read_bytes() == (tmp_path / "c").read_bytes()


def test_file_names_need_not_be_in_the_code_page(tmp_path):
    source = tmp_path / "\u4e2d\u6587"
    source.write_bytes(b"x")
    quillfern.encode_decode_file(source, tmp_path / "\u00e9t\u00e9", "pw")
    quillfern.wipe_file_clean(tmp_path / "\u00e9t\u00e9")
    assert sorted(os.listdir(tmp_path)) == ["\u4e2d\u6587"]


def test_str_passwords_go_through_the_code_page(tmp_path):
    source = tmp_path / "in"
    source.write_bytes(b"data" * 100)
    quillfern.encode_decode_file(source, tmp_path / "a", b"\x80\xe9")
    quillfern.encode_decode_file(source, tmp_path / "b", "\u20ac\u00e9")
    quillfern.encode_decode_file(source, tmp_path / "c", "\x80\xe9", encoding="latin1")
    assert (tmp_path / "a").read_bytes() == (tmp_path / "b").read_bytes() == (tmp_path / "c").read_bytes()


def test_the_returned_state_carries_on_as_one_process(tmp_path):
    first, second = tmp_path / "first", tmp_path / "second"
    first.write_bytes(b"one")
    second.write_bytes(b"two")
    control = quillfern.Encryption()
    control.EncodeDecodeFile(first, tmp_path / "1", b"pw")
    control.EncodeDecodeFile(second, tmp_path / "2", b"pw")
    state = quillfern.encode_decode_file(first, tmp_path / "1b", b"pw")
    end = quillfern.encode_decode_file(second, tmp_path / "2b", b"pw", state)
    assert control.generator_state == end
    assert (tmp_path / "2").read_bytes() == (tmp_path / "2b").read_bytes()
    # Without the state, the second file is encoded as in a new process.
    quillfern.encode_decode_file(second, tmp_path / "2c", b"pw")
    assert (tmp_path / "2c").read_bytes() != (tmp_path / "2").read_bytes()


def test_same_file_in_and_out(tmp_path):
    data = os.urandom(100_000)
    path = tmp_path / "file"
    path.write_bytes(data)
    quillfern.encode_decode_file(path, path, b"pw")
    assert path.read_bytes() != data and path.stat().st_size == len(data)
    os.link(path, tmp_path / "other name")
    quillfern.encode_decode_file(tmp_path / "other name", path, b"pw")
    assert path.read_bytes() == data
    assert sorted(os.listdir(tmp_path)) == ["file", "other name"]


def test_large_files_and_texts_run_without_the_gil(tmp_path):
    data = os.urandom(3 * quillfern.UNLOCKED_TEXT_SIZE)
    assert quillfern.deconvert(quillfern.convert(data)) == data
    assert quillfern.fast_blow_fish(quillfern.fast_blow_fish(data, b"k"), b"k") == data
    path = tmp_path / "big"
    path.write_bytes(data)
    quillfern.encode_decode_file(path, tmp_path / "enc", b"k")
    quillfern.encode_decode_file(tmp_path / "enc", tmp_path / "dec", b"k")
    assert (tmp_path / "dec").read_bytes() == data


def check_file_error(error, number, code, filename):
    assert isinstance(error, quillfern.FileError)
    assert isinstance(error, quillfern.Error) and isinstance(error, OSError)
    assert (error.number, error.errno, error.filename) == (number, code, filename)
    assert error.strerror == os.strerror(code)
    assert str(error).startswith(f"{number}: {error.description}: {filename}")


def test_missing_input_creates_nothing(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        quillfern.encode_decode_file(tmp_path / "missing", tmp_path / "out", b"pw")
    check_file_error(raised.value, 53, errno.ENOENT, str(tmp_path / "missing"))
    assert raised.value.description == "File not found"
    assert os.listdir(tmp_path) == []


def test_missing_output_folder(tmp_path):
    (tmp_path / "in").write_bytes(b"x")
    with pytest.raises(FileNotFoundError) as raised:
        quillfern.encode_decode_file(tmp_path / "in", tmp_path / "no folder" / "out", b"pw")
    assert (raised.value.number, raised.value.description) == (76, "Path not found")


def test_empty_password_fails_before_any_output(tmp_path):
    (tmp_path / "in").write_bytes(b"x")
    (tmp_path / "out").write_bytes(b"kept")
    with pytest.raises(quillfern.Error) as raised:
        quillfern.encode_decode_file(tmp_path / "in", tmp_path / "out", b"")
    assert raised.value.number == 5 and not isinstance(raised.value, OSError)
    assert (tmp_path / "out").read_bytes() == b"kept"
    control = quillfern.Encryption(state=1234)
    with pytest.raises(quillfern.Error):
        control.EncodeDecodeFile(tmp_path / "in", tmp_path / "out", b"")
    assert control.generator_state == 1234  # a failed call leaves the generator as it was


def test_output_that_is_a_folder(tmp_path):
    (tmp_path / "in").write_bytes(b"x")
    (tmp_path / "folder").mkdir()
    with pytest.raises(IsADirectoryError) as raised:
        quillfern.encode_decode_file(tmp_path / "in", tmp_path / "folder", b"pw")
    check_file_error(raised.value, 75, errno.EISDIR, str(tmp_path / "folder"))


def test_file_errors_pickle_with_their_errno(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        quillfern.wipe_file_clean(tmp_path / "missing")
    copy = pickle.loads(pickle.dumps(raised.value))
    assert isinstance(copy, FileNotFoundError) and isinstance(copy, quillfern.FileError)
    assert (copy.number, copy.errno, copy.filename) == (53, errno.ENOENT, str(tmp_path / "missing"))


def in_child(work, as_user=None, file_size=None):
    """Runs work() in a child process (as another user, or under a file-size
    limit) and returns (type name, number, errno) of what it raised."""
    read_end, write_end = os.pipe()
    pid = os.fork()
    if pid == 0:
        try:
            os.close(read_end)
            if file_size is not None:
                signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
                resource.setrlimit(resource.RLIMIT_FSIZE, (file_size, file_size))
            if as_user is not None:
                os.setgroups([])
                os.setgid(as_user)
                os.setuid(as_user)
            try:
                work()
                outcome = "none"
            except quillfern.Error as error:
                classes = ",".join(c.__name__ for c in type(error).__mro__)
                outcome = f"{error.number} {getattr(error, 'errno', None)} {classes}"
            os.write(write_end, outcome.encode())
        finally:
            os._exit(0)
    os.close(write_end)
    with os.fdopen(read_end, "rb") as pipe:
        outcome = pipe.read().decode()
    os.waitpid(pid, 0)
    return outcome


@pytest.fixture
def shared_folder():
    """A folder another user may enter (pytest's own are private)."""
    folder = tempfile.mkdtemp(prefix="quillfern-test-")
    os.chmod(folder, 0o755)
    yield folder
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        os.chmod(path, 0o755)
        if os.path.isdir(path):
            os.rmdir(path)
        else:
            os.unlink(path)
    os.rmdir(folder)


def test_read_only_output_folder(shared_folder):
    source = os.path.join(shared_folder, "in")
    with open(source, "wb") as out:
        out.write(b"secret")
    os.chmod(source, 0o644)
    locked = os.path.join(shared_folder, "locked")
    os.mkdir(locked, 0o555)
    os.chmod(locked, 0o555)
    # Root writes everywhere: the write is tried as an unprivileged user.
    user = 65534 if os.geteuid() == 0 else None
    work = lambda: quillfern.encode_decode_file(source, os.path.join(locked, "out"), b"pw")
    outcome = in_child(work, as_user=user)
    number, code, classes = outcome.split(" ")
    assert (int(number), int(code)) == (70, errno.EACCES)
    assert "PermissionError" in classes.split(",") and "FileError" in classes.split(",")
    assert os.listdir(locked) == []


def test_a_file_size_limit_is_disk_full_and_keeps_the_output(shared_folder):
    source, target = os.path.join(shared_folder, "big"), os.path.join(shared_folder, "out")
    with open(source, "wb") as out:
        out.write(os.urandom(3_000_000))
    with open(target, "wb") as out:
        out.write(b"kept")
    outcome = in_child(lambda: quillfern.encode_decode_file(source, target, b"pw"), file_size=1_000_000)
    number, code, _ = outcome.split(" ")
    assert (int(number), int(code)) == (61, errno.EFBIG)
    with open(target, "rb") as kept:
        assert kept.read() == b"kept"
    assert sorted(os.listdir(shared_folder)) == ["big", "out"]


def test_wipe(tmp_path):
    path = tmp_path / "secret"
    path.write_bytes(b"x" * 5000)
    path.chmod(stat.S_IRUSR)
    quillfern.wipe_file_clean(path)  # read-only files are wiped too
    assert not path.exists()
    control = quillfern.Encryption()
    path.write_bytes(b"y")
    control.WipeFileClean(str(path))
    assert not path.exists()


def test_wipe_refuses_what_is_not_a_regular_file(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        quillfern.wipe_file_clean(tmp_path / "missing")
    check_file_error(raised.value, 53, errno.ENOENT, str(tmp_path / "missing"))
    (tmp_path / "folder").mkdir()
    with pytest.raises(IsADirectoryError) as raised:
        quillfern.wipe_file_clean(tmp_path / "folder")
    assert raised.value.number == 75 and (tmp_path / "folder").is_dir()
    (tmp_path / "target").write_bytes(b"kept")
    (tmp_path / "link").symlink_to(tmp_path / "target")
    with pytest.raises(quillfern.FileError) as raised:
        quillfern.Encryption().WipeFileClean(tmp_path / "link")
    assert raised.value.number == 75
    assert (tmp_path / "target").read_bytes() == b"kept"
