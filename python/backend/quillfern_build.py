"""The build backend of the quillfern package (PEP 517), kept in the tree.

It needs nothing but Python's standard library and the machine's own build
tools (CMake, a C++20 compiler, pybind11's CMake files and the Python
headers: Debian's cmake, g++, pybind11-dev and python3-dev), so pip builds
the package with no package index at all. For a wheel it configures
python/CMakeLists.txt with CMake for the interpreter that runs it, builds
the extension from the library's sources, installs the `python` component
into a staging folder and zips that with its dist-info (METADATA, WHEEL,
RECORD).

Settings, as pip's --config-settings KEY=VALUE or from the environment:

  build-dir   QUILLFERN_BUILD_DIR    keep the CMake build under this folder,
                                     so that the next build is incremental
                                     (default: a temporary folder)
  jobs        QUILLFERN_JOBS         parallel compile jobs (default: all cores)
  build-type  QUILLFERN_BUILD_TYPE   the CMake build type (default: Release)

The library's sources are found at QUILLFERN_SOURCE_DIR, else in the
folder `library` of an unpacked source distribution, else in the folder
above the package (the repository).
"""

import base64
import hashlib
import io
import os
import re
import shutil
import subprocess
import sys
import sysconfig
import tarfile
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))  # the package folder, python/
NAME = "quillfern"

# What a source distribution carries of the package and of the library.
SDIST_PACKAGE_PARTS = ["pyproject.toml", "CMakeLists.txt", "README.md", "backend", "src", "tests", "bench"]
SDIST_LIBRARY_PARTS = ["CMakeLists.txt", "cmake", "quillfern", "README.md"]


# ---- the PEP 517 hooks ----------------------------------------------------


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    metadata = _metadata()
    dist_info = os.path.join(metadata_directory, _dist_info_name(metadata))
    os.makedirs(dist_info, exist_ok=True)
    for name, data in _dist_info_files(metadata):
        with open(os.path.join(dist_info, name), "wb") as out:
            out.write(data)
    return os.path.basename(dist_info)


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    settings = _Settings(config_settings)
    metadata = _metadata()
    with tempfile.TemporaryDirectory(prefix="quillfern-wheel-") as scratch:
        build_dir = settings.build_dir or os.path.join(scratch, "build")
        staging = os.path.join(scratch, "staging")
        _cmake_build(build_dir, staging, settings)
        files = []
        for folder, _, names in os.walk(staging):
            for name in names:
                path = os.path.join(folder, name)
                files.append((os.path.relpath(path, staging).replace(os.sep, "/"), path))
        files.sort()
        wheel_name = f"{NAME}-{metadata['version']}-{_wheel_tag()}.whl"
        _write_wheel(os.path.join(wheel_directory, wheel_name), files, metadata)
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    metadata = _metadata()
    library = _library_dir()
    base = f"{NAME}-{metadata['version']}"
    archive = os.path.join(sdist_directory, base + ".tar.gz")
    epoch = _source_date_epoch()

    def clean(info):
        if "__pycache__" in info.name or info.name.endswith(".pyc"):
            return None
        info.uid = info.gid = 0
        info.uname = info.gname = ""
        info.mtime = epoch
        return info

    with tarfile.open(archive, "w:gz", format=tarfile.PAX_FORMAT) as tar:
        for part in SDIST_PACKAGE_PARTS:
            if os.path.exists(os.path.join(HERE, part)):
                tar.add(os.path.join(HERE, part), f"{base}/{part}", filter=clean)
        for part in SDIST_LIBRARY_PARTS:
            tar.add(os.path.join(library, part), f"{base}/library/{part}", filter=clean)
        pkg_info = _metadata_text(metadata).encode()
        info = tarfile.TarInfo(f"{base}/PKG-INFO")
        info.size, info.mtime, info.mode = len(pkg_info), epoch, 0o644
        tar.addfile(info, io.BytesIO(pkg_info))
    return os.path.basename(archive)


# ---- building -------------------------------------------------------------


class _Settings:
    def __init__(self, config_settings):
        config_settings = config_settings or {}

        def setting(key, variable):
            value = config_settings.get(key) or os.environ.get(variable)
            return value if value else None

        build_root = setting("build-dir", "QUILLFERN_BUILD_DIR")
        # One build per interpreter: a CMake cache belongs to the Python it
        # was configured for.
        interpreter = hashlib.sha256(os.path.realpath(sys.executable).encode()).hexdigest()[:10]
        self.build_dir = (os.path.join(os.path.abspath(build_root), f"{_wheel_tag()}-{interpreter}")
                          if build_root else None)
        self.jobs = setting("jobs", "QUILLFERN_JOBS") or str(os.cpu_count() or 2)
        self.build_type = setting("build-type", "QUILLFERN_BUILD_TYPE") or "Release"


def _library_dir():
    candidates = [os.environ.get("QUILLFERN_SOURCE_DIR"), os.path.join(HERE, "library"), os.path.dirname(HERE)]
    for candidate in candidates:
        if candidate and os.path.isfile(os.path.join(candidate, "quillfern", "quillfern.hpp")):
            return os.path.abspath(candidate)
    raise RuntimeError("quillfern_build: the library's sources are not found; "
                       "set QUILLFERN_SOURCE_DIR to the folder that holds quillfern/quillfern.hpp")


def _run(command):
    print("quillfern_build:", " ".join(command), file=sys.stderr, flush=True)
    try:
        subprocess.run(command, check=True)
    except FileNotFoundError:
        raise RuntimeError(f"quillfern_build: {command[0]} is not installed; "
                           "on Debian, scripts/deps.sh build python installs the build tools") from None
    except subprocess.CalledProcessError as failure:
        raise RuntimeError(f"quillfern_build: {command[0]} failed with status {failure.returncode}; "
                           "the build needs CMake, a C++20 compiler, pybind11's CMake files and the "
                           "Python headers (on Debian: scripts/deps.sh build python)") from None


def _cmake_build(build_dir, staging, settings):
    cmake = shutil.which("cmake") or "cmake"
    configure = [cmake, "-S", HERE, "-B", build_dir,
                 f"-DCMAKE_BUILD_TYPE={settings.build_type}",
                 f"-DPython_EXECUTABLE={sys.executable}",
                 f"-DQUILLFERN_SOURCE_DIR={_library_dir()}"]
    if not os.path.isfile(os.path.join(build_dir, "CMakeCache.txt")):
        configure += ["-G", "Ninja" if shutil.which("ninja") else "Unix Makefiles"]
    _run(configure)
    _run([cmake, "--build", build_dir, "--target", "quillfern_python", "-j", settings.jobs])
    _run([cmake, "--install", build_dir, "--component", "python", "--prefix", staging])


# ---- metadata -------------------------------------------------------------


def _metadata():
    with open(os.path.join(HERE, "pyproject.toml"), "rb") as source:
        project = _read_toml(source.read().decode())["project"]
    with open(os.path.join(_library_dir(), "CMakeLists.txt"), encoding="utf-8") as source:
        found = re.search(r"project\(\s*quillfern\s+VERSION\s+([0-9.]+)", source.read())
    if not found:
        raise RuntimeError("quillfern_build: no version in the library's CMakeLists.txt")
    readme = project.get("readme")
    description = ""
    if readme:
        with open(os.path.join(HERE, readme), encoding="utf-8") as source:
            description = source.read()
    return {
        "name": project["name"],
        "version": found.group(1),
        "summary": project.get("description", ""),
        "requires-python": project.get("requires-python"),
        "license": project.get("license", {}).get("text"),
        "classifiers": project.get("classifiers", []),
        "description": description,
    }


def _read_toml(text):
    try:
        import tomllib
    except ImportError:  # Python before 3.11: the few forms pyproject.toml uses
        return _read_simple_toml(text)
    return tomllib.loads(text)


def _read_simple_toml(text):
    """Tables, and keys whose values are strings, lists of strings or inline tables of strings."""
    import ast
    document, table = {}, None
    lines = iter(text.splitlines())
    for line in lines:
        line = line.split(" #")[0].strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("["):
            table = document
            for part in line.strip("[]").split("."):
                table = table.setdefault(part.strip(), {})
            continue
        key, _, value = line.partition("=")
        value = value.strip()
        while value.startswith("[") and not value.endswith("]"):
            value += next(lines).split(" #")[0].strip()
        if value.startswith("{"):
            pairs = (item.partition("=") for item in value.strip("{}").split(","))
            table[key.strip()] = {k.strip(): ast.literal_eval(v.strip()) for k, _, v in pairs if k.strip()}
        else:
            table[key.strip()] = ast.literal_eval(value)
    return document


def _metadata_text(metadata):
    lines = ["Metadata-Version: 2.1", f"Name: {metadata['name']}", f"Version: {metadata['version']}",
             f"Summary: {metadata['summary']}"]
    if metadata["requires-python"]:
        lines.append(f"Requires-Python: {metadata['requires-python']}")
    if metadata["license"]:
        lines.append(f"License: {metadata['license']}")
    lines += [f"Classifier: {classifier}" for classifier in metadata["classifiers"]]
    if metadata["description"]:
        lines.append("Description-Content-Type: text/markdown")
    return "\n".join(lines) + "\n\n" + metadata["description"]


def _dist_info_name(metadata):
    return f"{metadata['name']}-{metadata['version']}.dist-info"


def _dist_info_files(metadata):
    wheel = (f"Wheel-Version: 1.0\nGenerator: quillfern_build {metadata['version']}\n"
             f"Root-Is-Purelib: false\nTag: {_wheel_tag()}\n")
    return [("METADATA", _metadata_text(metadata).encode()), ("WHEEL", wheel.encode())]


def _wheel_tag():
    """interpreter-abi-platform of the running interpreter, e.g. cp311-cp311-linux_x86_64."""
    implementation = sys.implementation.name
    interpreter = {"cpython": "cp", "pypy": "pp"}.get(implementation, implementation)
    interpreter += f"{sys.version_info[0]}{sys.version_info[1]}"
    soabi = sysconfig.get_config_var("SOABI") or ""
    if implementation == "cpython" and soabi.startswith("cpython-"):
        abi = "cp" + soabi.split("-")[1]
    elif soabi:
        abi = re.sub(r"[^A-Za-z0-9]", "_", soabi.rsplit("-", 2)[0] if soabi.count("-") > 2 else soabi)
    else:
        abi = "none"
    platform = re.sub(r"[^A-Za-z0-9]", "_", sysconfig.get_platform())
    return f"{interpreter}-{abi}-{platform}"


# ---- the wheel ------------------------------------------------------------


def _source_date_epoch():
    return int(os.environ.get("SOURCE_DATE_EPOCH", "315532800"))  # 1980-01-01, the first date zip knows


def _write_wheel(path, files, metadata):
    """files: (name in the wheel, path on disk). The dist-info goes last, RECORD at its end."""
    stamp = time.gmtime(max(_source_date_epoch(), 315532800))[:6]
    dist_info = _dist_info_name(metadata)
    records = []
    entries = [(name, _read(source), os.access(source, os.X_OK)) for name, source in files]
    entries += [(f"{dist_info}/{name}", data, False) for name, data in _dist_info_files(metadata)]
    with zipfile.ZipFile(path + ".part", "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data, executable in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = (0o100755 if executable else 0o100644) << 16
            wheel.writestr(info, data)
            digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            records.append(f"{name},sha256={digest},{len(data)}")
        records.append(f"{dist_info}/RECORD,,")
        info = zipfile.ZipInfo(f"{dist_info}/RECORD", date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o100644 << 16
        wheel.writestr(info, "\n".join(records) + "\n")
    os.replace(path + ".part", path)


def _read(path):
    with open(path, "rb") as source:
        return source.read()
