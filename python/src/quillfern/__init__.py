"""Quillfern: the text and file ciphers of the Encryption control, bit for bit.

Every text argument is bytes-like and gives bytes, each byte one character
code 0..255; a str argument gives str and is converted through the code
page named by the keyword `encoding=` ('cp1252', the default, or
'latin1'). All texts of one call are of one kind.

    >>> import quillfern
    >>> quillfern.decrypt_password(5, quillfern.encrypt_password(5, b"Secret1"))
    b'Secret1'

Failures raise Error (with .number and .description; file errors are
FileError, also an OSError), Refused where the control would refuse
through a message box, and DataLoss where its result would lose codes
(unless allow_loss=True). Encryption is the control itself, with its
published method names and message boxes, each method written from a row
of the table of operations (`operations`). BasicRandom is the classic
runtime's Rnd and Randomize; identify() names the operation and key that
made a stored text.
"""

from ._types import (
    Ciphered,
    CipheredText,
    DataLoss,
    Error,
    FileError,
    Message,
    Operation,
    Parameter,
    Reading,
    Refused,
)
from ._quillfern import (
    BasicRandom,
    Encryption,
    UNLOCKED_TEXT_SIZE,
    __version__,
    convert,
    decipher_text,
    deconvert,
    decrypt_password,
    easy_crypt_decode,
    easy_crypt_encode,
    encipher_text,
    encode_decode_file,
    encrypt_password,
    fast_blow_fish,
    identify,
    power_encryption,
    seed_encryption,
    tables,
    text_box_crypt,
    text_box_decrypt,
    wipe_file_clean,
)

from ._quillfern import _operations

Encryption.__module__ = __name__
BasicRandom.__module__ = __name__

# The table of operations: every row, in published order.
operations = tuple(
    Operation(name, dispid, kind, tuple(Parameter(*p) for p in parameters), result)
    for name, dispid, kind, parameters, result in _operations()
)
del _operations

__all__ = [
    "BasicRandom",
    "Ciphered",
    "CipheredText",
    "DataLoss",
    "Encryption",
    "Error",
    "FileError",
    "Message",
    "Operation",
    "Parameter",
    "Reading",
    "Refused",
    "UNLOCKED_TEXT_SIZE",
    "__version__",
    "convert",
    "decipher_text",
    "deconvert",
    "decrypt_password",
    "easy_crypt_decode",
    "easy_crypt_encode",
    "encipher_text",
    "encode_decode_file",
    "encrypt_password",
    "fast_blow_fish",
    "identify",
    "operations",
    "power_encryption",
    "seed_encryption",
    "tables",
    "text_box_crypt",
    "text_box_decrypt",
    "wipe_file_clean",
]
