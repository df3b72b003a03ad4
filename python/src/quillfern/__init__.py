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
published method names and message boxes.
"""

from ._types import Ciphered, CipheredText, DataLoss, Error, FileError, Message, Refused
from ._quillfern import (
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
    power_encryption,
    seed_encryption,
    tables,
    text_box_crypt,
    text_box_decrypt,
    wipe_file_clean,
)

Encryption.__module__ = __name__

__all__ = [
    "Ciphered",
    "CipheredText",
    "DataLoss",
    "Encryption",
    "Error",
    "FileError",
    "Message",
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
    "power_encryption",
    "seed_encryption",
    "tables",
    "text_box_crypt",
    "text_box_decrypt",
    "wipe_file_clean",
]
