"""The exceptions and result types of the quillfern package.

The compiled module raises and returns instances of these classes; they
are defined in Python so that they behave as ordinary exceptions, bytes
and str do (pickling, subclass checks, tracebacks).
"""

import errno as _errno
import os as _os
from collections import namedtuple as _namedtuple

# The library's numbered file errors.
FILE_ERROR_NUMBERS = frozenset({52, 53, 57, 61, 70, 75, 76})

# The system's error number behind a file error the system did not name:
# the usual cause of each.
_ERRNO_OF_NUMBER = {
    53: _errno.ENOENT,
    57: _errno.EIO,
    61: _errno.ENOSPC,
    70: _errno.EACCES,
    76: _errno.ENOENT,
}

_ERRNO_OF_MESSAGE = {_os.strerror(code): code for code in sorted(_errno.errorcode, reverse=True)}


class Error(Exception):
    """A numbered error of the library.

    `number` is the platform's error number (5 invalid procedure call or
    argument, 6 overflow, 53 file not found, ...), `description` its
    standard description, and `detail`, when not empty, what the library
    added (for a file error: the file name and the system's message).
    """

    def __init__(self, number, description, detail=""):
        super().__init__(number, description)
        self.number = number
        self.description = description
        self.detail = detail

    def __str__(self):
        text = f"{self.number}: {self.description}"
        return f"{text}: {self.detail}" if self.detail else text

    def __reduce__(self):
        return (type(self), (self.number, self.description, self.detail))


class FileError(Error, OSError):
    """A file error of the library (52, 53, 57, 61, 70, 75, 76).

    It is also an OSError: `errno` is the system's error number (so a
    missing file is also a FileNotFoundError, a refused one a
    PermissionError), `strerror` the system's message and `filename` the
    file concerned, where the system reported them; None otherwise.
    """

    def __init__(self, number, description, detail="", errno=None, filename=None, strerror=None):
        Error.__init__(self, number, description, detail)
        self.errno = errno
        self.strerror = strerror if strerror is not None else description
        self.filename = filename

    def __str__(self):
        return Error.__str__(self)

    def __reduce__(self):
        return (_file_error, (self.number, self.description, self.detail, self.errno, self.filename, self.strerror))

    _classes = {}

    @staticmethod
    def _of(code):
        """FileError itself, or its subclass that is also the OSError subclass of `code`."""
        if code is None:
            return FileError
        builtin = type(OSError(code, ""))
        if builtin is OSError:
            return FileError
        cls = FileError._classes.get(builtin)
        if cls is None:
            cls = type("FileError", (FileError, builtin), {"__module__": FileError.__module__,
                                                            "__qualname__": "FileError", "__doc__": FileError.__doc__})
            FileError._classes[builtin] = cls
        return cls


def _file_error(number, description, detail, code, filename, strerror):
    return FileError._of(code)(number, description, detail, code, filename, strerror)


def _error(number, description, detail):
    """The exception for a numbered error raised by the library."""
    if number not in FILE_ERROR_NUMBERS:
        return Error(number, description, detail)
    # A file error's detail is "file name: the system's message".
    filename, separator, message = detail.rpartition(": ")
    code = _ERRNO_OF_MESSAGE.get(message) if separator else None
    if code is None:
        filename, message = None, None
        code = _ERRNO_OF_NUMBER.get(number)
    return _file_error(number, description, detail, code, filename, message)


class Refused(Exception):
    """The operation refused where the control would show a message box.

    `message` is the box's text ("Please put in a password" or "Access
    Denied") and `title` its title ("Oldvane"). Nothing was returned.
    """

    def __init__(self, message, title="Oldvane"):
        super().__init__(message, title)
        self.message = message
        self.title = title

    def __str__(self):
        return self.message


class DataLoss(ValueError):
    """The result would lose codes that the control cuts or drops.

    `position` is the 1-based position where the loss begins (in the text
    for the text-box ciphers, in the cipher text for encipher_text and
    decipher_text), and `result` what the call returns with
    allow_loss=True.
    """

    def __init__(self, message, position, result):
        super().__init__(message)
        self.position = position
        self.result = result

    def __reduce__(self):
        return (DataLoss, (self.args[0], self.position, self.result))


class Ciphered(bytes):
    """The bytes result of fast_blow_fish, with `zeros`: the 1-based
    positions whose result was code 0, where the control shows "ERROR Zero!"
    (positions past the text's length are the space fill of its last
    block)."""

    def __new__(cls, value, zeros=()):
        self = super().__new__(cls, value)
        self.zeros = tuple(zeros)
        return self

    def __reduce__(self):
        return (type(self), (bytes(self), self.zeros))


class CipheredText(str):
    """The str result of fast_blow_fish, with `zeros` as in Ciphered."""

    def __new__(cls, value, zeros=()):
        self = super().__new__(cls, value)
        self.zeros = tuple(zeros)
        return self

    def __reduce__(self):
        return (type(self), (str(self), self.zeros))


Message = _namedtuple("Message", "text style title")
Message.__doc__ = """A message box of the control: its text, its style number (0 an OK button,
48 the exclamation icon, 12 for the cipher-text boxes) and its title
("quillfern" when the control gave none)."""
