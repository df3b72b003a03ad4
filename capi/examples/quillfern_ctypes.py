"""Calling the C interface of Quillfern from Python with ctypes.

Every text function takes (pointer, length) inputs and gives its texts
through a buffer with its capacity: call once to learn the lengths, once
to fill. `call` below does both for any operation; the texts are bytes of
character codes (Windows-1252 here).

    python3 quillfern_ctypes.py [PATH/libquillfern_c.so]   runs a short check
"""
import ctypes
import os
import sys

TOO_SMALL, REFUSED, NO_VALUE = -1, -2, ctypes.c_size_t(-1).value


class QuillfernError(Exception):
    def __init__(self, status, description):
        super().__init__(f"{status}: {description}")
        self.status = status


def load(path=None):
    lib = ctypes.CDLL(path or os.environ.get("QUILLFERN_C_LIBRARY", "libquillfern_c.so"))
    lib.quillfern_version.restype = ctypes.c_char_p
    lib.quillfern_strerror.restype = ctypes.c_char_p
    lib.quillfern_strerror.argtypes = [ctypes.c_int]
    lib.quillfern_context_new.argtypes = [ctypes.c_int, ctypes.POINTER(ctypes.c_void_p)]
    lib.quillfern_context_free.argtypes = [ctypes.c_void_p]
    return lib


class Encryption:
    """The control through the C interface, with its published method names."""

    def __init__(self, lib, code_page=1252):
        self.lib = lib
        self.context = ctypes.c_void_p()
        self._check(lib.quillfern_context_new(code_page, ctypes.byref(self.context)))

    def close(self):
        self.lib.quillfern_context_free(self.context)
        self.context = None

    def _check(self, status):
        if status > 0 or status < REFUSED:
            raise QuillfernError(status, self.lib.quillfern_strerror(status).decode())
        return status

    def call(self, name, texts, outputs=1, before=()):
        """quillfern_NAME(context, *before, texts as (pointer, length)..., outputs as buffers).

        Returns the output texts (None for the empty variant) and whether the
        control refused the input."""
        function = getattr(self.lib, "quillfern_" + name)
        inputs = []
        for text in texts:
            inputs += [ctypes.c_char_p(text), ctypes.c_size_t(len(text))]
        lengths = [ctypes.c_size_t(0) for _ in range(outputs)]
        buffers = [None] * outputs
        while True:
            out = []
            for buffer, length in zip(buffers, lengths):
                out += [buffer, ctypes.c_size_t(len(buffer) if buffer is not None else 0), ctypes.byref(length)]
            status = function(self.context, *before, *inputs, *out)
            if status != TOO_SMALL:
                break
            buffers = [ctypes.create_string_buffer(max(l.value, 1) if l.value != NO_VALUE else 1) for l in lengths]
        self._check(status)
        texts_out = [None if l.value == NO_VALUE else (b.raw[: l.value] if b is not None else b"")
                     for b, l in zip(buffers, lengths)]
        return texts_out, status == REFUSED

    def convert(self, text):
        return self.call("convert", [text])[0][0]

    def EasyCryptEnCode(self, text):
        return self.call("EasyCryptEnCode", [text])[0][0]

    def EncryptPassword(self, number, text):
        return self.call("EncryptPassword", [text], before=[ctypes.c_ubyte(number)])[0][0]

    def EnCipherText(self, text, password):
        return self.call("EnCipherText", [text, password])[0][0]

    def DeCipherText(self, cipher, password):
        (text,), refused = self.call("DeCipherText", [cipher, password])
        return text, refused


def main():
    lib = load(sys.argv[1] if len(sys.argv) > 1 else None)
    control = Encryption(lib)
    assert control.convert(b"abc") == b"616263"
    assert control.EasyCryptEnCode(b"abc") == b"bcd"
    cipher = control.EnCipherText(b"Hello", b"key")
    assert control.DeCipherText(cipher, b"key") == (b"Hello", False)
    assert control.DeCipherText(cipher, b"other")[1] is True
    try:
        control.EncryptPassword(5, b"a" * 255)
    except QuillfernError as error:
        assert error.status == 6, error
    else:
        raise AssertionError("255 characters must overflow")
    control.close()
    print("quillfern", lib.quillfern_version().decode(), "through ctypes: ok")


if __name__ == "__main__":
    main()
