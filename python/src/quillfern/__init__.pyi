"""Type stubs of the quillfern package (see the docstrings of the module for what each does)."""

import os
from typing import Callable, NamedTuple, Optional, Tuple, Union, overload


Bytes = Union[bytes, bytearray, memoryview]
Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]

__version__: str
UNLOCKED_TEXT_SIZE: int

class Error(Exception):
    number: int
    description: str
    detail: str
    def __init__(self, number: int, description: str, detail: str = ...) -> None: ...

class FileError(Error, OSError):
    errno: Optional[int]  # type: ignore[assignment]
    strerror: str  # type: ignore[assignment]
    filename: Optional[str]
    def __init__(
        self,
        number: int,
        description: str,
        detail: str = ...,
        errno: Optional[int] = ...,
        filename: Optional[str] = ...,
        strerror: Optional[str] = ...,
    ) -> None: ...

class Refused(Exception):
    message: str
    title: str
    def __init__(self, message: str, title: str = ...) -> None: ...

class DataLoss(ValueError):
    position: int
    result: object
    def __init__(self, message: str, position: int, result: object) -> None: ...

class Ciphered(bytes):
    zeros: Tuple[int, ...]
    def __new__(cls, value: bytes, zeros: Tuple[int, ...] = ...) -> "Ciphered": ...

class CipheredText(str):
    zeros: Tuple[int, ...]
    def __new__(cls, value: str, zeros: Tuple[int, ...] = ...) -> "CipheredText": ...

class Message(NamedTuple):
    text: str
    style: int
    title: str

class Parameter(NamedTuple):
    name: str
    type: str
    direction: str
    file: bool

class Operation(NamedTuple):
    name: str
    dispid: int
    kind: str
    parameters: Tuple[Parameter, ...]
    result: str

operations: Tuple[Operation, ...]

# ---- the runtime's generator and identify ---------------------------------------

class BasicRandom:
    state: int
    def __init__(self, state: Optional[int] = ...) -> None: ...
    def rnd(self, x: float = ...) -> float: ...
    @property
    def last(self) -> float: ...
    def randomize(self, x: float) -> None: ...
    def randomize_timer(self, timer: float) -> None: ...

class Reading:
    operation: str
    restored_by: str
    key: Optional[int]
    password: Union[bytes, str, None]
    result: Union[bytes, str]
    length: int
    score: float
    bits_per_code: float
    plausible: bool
    def __init__(
        self,
        operation: str,
        restored_by: str,
        key: Optional[int],
        password: Union[bytes, str, None],
        result: Union[bytes, str],
        length: int,
        score: float,
        bits_per_code: float,
        plausible: bool,
        encoding: Optional[str] = ...,
    ) -> None: ...
    @property
    def command(self) -> str: ...
    def restore(self, text: Union[Bytes, str]) -> Union[bytes, str]: ...

def identify(
    text: Union[Bytes, str],
    *,
    max_key: int = ...,
    max_password: int = ...,
    all: bool = ...,
    kept: int = ...,
    encoding: str = ...,
) -> list[Reading]: ...

# ---- character transforms ----------------------------------------------------

@overload
def encrypt_password(number: int, text: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def encrypt_password(number: int, text: str, *, encoding: str = ...) -> str: ...
@overload
def decrypt_password(number: int, text: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def decrypt_password(number: int, text: str, *, encoding: str = ...) -> str: ...
@overload
def convert(text: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def convert(text: str, *, encoding: str = ...) -> str: ...
@overload
def deconvert(hex: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def deconvert(hex: str, *, encoding: str = ...) -> str: ...
@overload
def easy_crypt_encode(text: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def easy_crypt_encode(text: str, *, encoding: str = ...) -> str: ...
@overload
def easy_crypt_decode(text: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def easy_crypt_decode(text: str, *, encoding: str = ...) -> str: ...
@overload
def seed_encryption(text: Bytes, seed: Bytes, *, encoding: str = ...) -> bytes: ...
@overload
def seed_encryption(text: str, seed: str, *, encoding: str = ...) -> str: ...
@overload
def power_encryption(text: Bytes, code_page: str = ..., *, encoding: str = ...) -> bytes: ...
@overload
def power_encryption(text: str, code_page: str = ..., *, encoding: str = ...) -> str: ...

# ---- keyed text ciphers --------------------------------------------------------

@overload
def fast_blow_fish(text: Bytes, password: Bytes, *, encoding: str = ...) -> Ciphered: ...
@overload
def fast_blow_fish(text: str, password: str, *, encoding: str = ...) -> CipheredText: ...
@overload
def text_box_crypt(
    text: Bytes, password: Bytes, *, allow_loss: bool = ..., encoding: str = ...
) -> Tuple[Optional[bytes], bytes]: ...
@overload
def text_box_crypt(
    text: str, password: str, *, allow_loss: bool = ..., encoding: str = ...
) -> Tuple[Optional[str], str]: ...
@overload
def text_box_decrypt(
    text: Bytes, password: Bytes, *, allow_loss: bool = ..., encoding: str = ...
) -> Tuple[Optional[bytes], bytes]: ...
@overload
def text_box_decrypt(
    text: str, password: str, *, allow_loss: bool = ..., encoding: str = ...
) -> Tuple[Optional[str], str]: ...
@overload
def encipher_text(text: Bytes, password: Bytes, *, allow_loss: bool = ..., encoding: str = ...) -> bytes: ...
@overload
def encipher_text(text: str, password: str, *, allow_loss: bool = ..., encoding: str = ...) -> str: ...
@overload
def decipher_text(cipher: Bytes, password: Bytes, *, allow_loss: bool = ..., encoding: str = ...) -> bytes: ...
@overload
def decipher_text(cipher: str, password: str, *, allow_loss: bool = ..., encoding: str = ...) -> str: ...
def tables() -> Tuple[bytes, bytes, bytes, bytes, bytes, bytes, bytes, bytes]: ...

# ---- file operations ------------------------------------------------------------

def encode_decode_file(
    input_path: Path,
    output_path: Path,
    password: Union[Bytes, str],
    state: Optional[int] = ...,
    *,
    encoding: str = ...,
) -> int: ...
def wipe_file_clean(path: Path) -> None: ...

# ---- the control -------------------------------------------------------------------

class Encryption:
    Enabled: bool
    generator_state: int
    @property
    def messages(self) -> list[Message]: ...
    @property
    def code_page(self) -> str: ...
    def __init__(
        self,
        message_box: Optional[Callable[[Message], object]] = ...,
        *,
        code_page: str = ...,
        state: Optional[int] = ...,
    ) -> None: ...
    def About(self) -> None: ...
    @overload
    def EncryptPassword(self, Number: int, DecryptedPassword: Bytes) -> bytes: ...
    @overload
    def EncryptPassword(self, Number: int, DecryptedPassword: str) -> str: ...
    @overload
    def DecryptPassword(self, Number: int, EncryptedPassword: Bytes) -> bytes: ...
    @overload
    def DecryptPassword(self, Number: int, EncryptedPassword: str) -> str: ...
    @overload
    def convert(self, InPutString: Bytes) -> bytes: ...
    @overload
    def convert(self, InPutString: str) -> str: ...
    @overload
    def DeConvert(self, InPutString: Bytes) -> bytes: ...
    @overload
    def DeConvert(self, InPutString: str) -> str: ...
    @overload
    def EasyCryptEnCode(self, InPutString: Bytes) -> bytes: ...
    @overload
    def EasyCryptEnCode(self, InPutString: str) -> str: ...
    @overload
    def EasyCryptDeCode(self, InPutString: Bytes) -> bytes: ...
    @overload
    def EasyCryptDeCode(self, InPutString: str) -> str: ...
    def EncodeDecodeFile(self, InputFile: Path, OutputFile: Path, Password: Union[Bytes, str]) -> None: ...
    @overload
    def PowerEncryption(self, InPutString: Bytes) -> bytes: ...
    @overload
    def PowerEncryption(self, InPutString: str) -> str: ...
    @overload
    def FastBlowFish(self, InPutString: Bytes, Password: Bytes) -> bytes: ...
    @overload
    def FastBlowFish(self, InPutString: str, Password: str) -> str: ...
    @overload
    def SeedEncryption(self, InPutString: Bytes, SeedPassword: Bytes) -> bytes: ...
    @overload
    def SeedEncryption(self, InPutString: str, SeedPassword: str) -> str: ...
    @overload
    def TextBoxCrypt(self, InPutText: Bytes, Password: Bytes) -> Tuple[Optional[bytes], bytes]: ...
    @overload
    def TextBoxCrypt(self, InPutText: str, Password: str) -> Tuple[Optional[str], str]: ...
    @overload
    def TextBoxDeCrypt(self, InPutText: Bytes, Password: Bytes) -> Tuple[Optional[bytes], bytes]: ...
    @overload
    def TextBoxDeCrypt(self, InPutText: str, Password: str) -> Tuple[Optional[str], str]: ...
    @overload
    def DeCipherText(self, CipherString: Bytes, Password: Bytes) -> bytes: ...
    @overload
    def DeCipherText(self, CipherString: str, Password: str) -> str: ...
    @overload
    def EnCipherText(self, CipherInString: Bytes, Password: Bytes) -> bytes: ...
    @overload
    def EnCipherText(self, CipherInString: str, Password: str) -> str: ...
    def WipeFileClean(self, FileName: Path) -> None: ...
