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


class _WithZeros:
    """A result of fast_blow_fish: its value, with `zeros` (see Ciphered)."""

    _plain = bytes

    def __new__(cls, value, zeros=()):
        self = super().__new__(cls, value)
        self.zeros = tuple(zeros)
        return self

    def __reduce__(self):
        return (type(self), (self._plain(self), self.zeros))


class Ciphered(_WithZeros, bytes):
    """The bytes result of fast_blow_fish, with `zeros`: the 1-based
    positions whose result was code 0, where the control shows "ERROR Zero!"
    (positions past the text's length are the space fill of its last
    block)."""


class CipheredText(_WithZeros, str):
    """The str result of fast_blow_fish, with `zeros` as in Ciphered."""

    _plain = str


Message = _namedtuple("Message", "text style title")
Message.__doc__ = """A message box of the control: its text, its style number (0 an OK button,
48 the exclamation icon, 12 for the cipher-text boxes) and its title
("quillfern" when the control gave none)."""


Parameter = _namedtuple("Parameter", "name type direction file")
Parameter.__doc__ = """A parameter of a row of the table of operations: its published name, its
type ('Boolean', 'Byte', 'String'), its passing ('in', 'out', 'in, out',
'by value'), and whether the text names a file."""

Operation = _namedtuple("Operation", "name dispid kind parameters result")
Operation.__doc__ = """A row of the control's table of operations: the published name, the
dispatch id, the kind ('method', 'property_get', 'property_put'), the
parameters (a tuple of Parameter, in published order) and the result type
('none', 'Boolean', 'String', 'Variant'). Each method row is a method of
Encryption of that name, taking the parameters that are not 'out' and
returning the result followed by the 'out' and 'in, out' ones."""


def _text_box_password(key):
    """A password of printable ASCII codes whose key number is `key`: its code
    sum is 60 * key + 30, the middle of the sums that give it."""
    if key == 0:
        return ""
    total = 60 * key + 30
    count = -(-total // 126)
    base, more = divmod(total, count)
    return chr(base + 1) * more + chr(base) * (count - more)


class Reading:
    """One reading of a stored text, as identify() gives it.

    `operation` is the control's operation that would have made the text
    ('convert', 'EncryptPassword', 'EasyCryptEnCode', 'TextBoxCrypt',
    'EnCipherText') and `restored_by` the one that restores it; `key` the
    Number (EncryptPassword) or key number (TextBoxCrypt), None for the
    others; `password` the password read from the cipher text's block
    (EnCipherText), None for the others; `result` the first codes of the
    restored text (identify's `kept`) and `length` its whole length;
    `score` the ranking score in bits, fewer ranking first, and
    `bits_per_code` the model's bits per code of the restored text;
    `plausible` whether it passes the plausibility rule. `command` is the
    call of this package that restores the text, and restore(text) makes
    that call.
    """

    __slots__ = ("operation", "restored_by", "key", "password", "result", "length", "score", "bits_per_code",
                 "plausible", "_encoding")

    def __init__(self, operation, restored_by, key, password, result, length, score, bits_per_code, plausible,
                 encoding=None):
        self.operation = operation
        self.restored_by = restored_by
        self.key = key
        self.password = password
        self.result = result
        self.length = length
        self.score = score
        self.bits_per_code = bits_per_code
        self.plausible = plausible
        self._encoding = encoding

    def _call(self):
        """The function name and the arguments after the text of the call that restores it."""
        if self.operation == "convert":
            return "deconvert", ()
        if self.operation == "EncryptPassword":
            return "decrypt_password", (self.key,)
        if self.operation == "EasyCryptEnCode":
            return "easy_crypt_decode", ()
        if self.operation == "TextBoxCrypt":
            password = _text_box_password(self.key)
            return "text_box_decrypt", (password if self._encoding else password.encode("ascii"),)
        return "decipher_text", (self.password,)

    @property
    def command(self):
        """The call that restores the whole text, with `text` standing for it."""
        name, extra = self._call()
        if name == "decrypt_password":
            arguments = [repr(self.key), "text"]
        else:
            arguments = ["text"] + [repr(value) for value in extra]
        if self._encoding and self._encoding != "cp1252":
            arguments.append(f"encoding={self._encoding!r}")
        call = f"quillfern.{name}({', '.join(arguments)})"
        # The text-box cipher gives (result, key_text); the password is any
        # one of the key number's.
        return call + "[0]" if name == "text_box_decrypt" else call

    def restore(self, text):
        """The whole restored text: the call of `command` on `text`."""
        from . import _quillfern
        name, extra = self._call()
        function = getattr(_quillfern, name)
        keywords = {"encoding": self._encoding} if self._encoding else {}
        if name == "decrypt_password":
            return function(self.key, text, **keywords)
        result = function(text, *extra, **keywords)
        return result[0] if name == "text_box_decrypt" else result

    def _fields(self):
        return tuple(getattr(self, name) for name in Reading.__slots__)

    def __eq__(self, other):
        return isinstance(other, Reading) and self._fields() == other._fields()

    def __hash__(self):
        return hash(self._fields())

    def __repr__(self):
        key = "" if self.key is None else f", key={self.key}"
        password = "" if self.password is None else f", password={self.password!r}"
        return (f"Reading({self.operation!r}{key}{password}, score={self.score:.1f}, "
                f"result={self.result!r}, length={self.length})")

    def __reduce__(self):
        return (Reading, self._fields())
