"""Every case of the vector files of tests/data (the files the C++ tests
read), through the module's function and through the Encryption control,
with bytes and with str."""

import pytest

import quillfern
import vectors

from quillfern import Message

CASES = vectors.load_all()

# Sections that are no operation of the table: the generator's, which
# test_generator.py runs through quillfern.BasicRandom.
NOT_OFFERED = {"BasicRandom"}


def as_str(codes):
    """Codes as the str that Latin-1 gives them."""
    return codes.decode("latin-1")


def check_text(function, arguments, expected, **keywords):
    """function(*arguments) gives `expected`, with bytes and with str (Latin-1)."""
    assert function(*arguments, **keywords) == expected
    text_arguments = [as_str(a) if isinstance(a, bytes) else a for a in arguments]
    result = function(*text_arguments, encoding="latin1", **keywords)
    assert isinstance(result, str)
    assert result == as_str(expected)


def check_error(function, arguments, number):
    with pytest.raises(quillfern.Error) as raised:
        function(*arguments)
    assert raised.value.number == number


def run_transform(function, method, arguments, case, answer):
    """A character transform: the value of `answer` (OutPut or Result), or
    the error of Error."""
    control = quillfern.Encryption()
    if "Error" in case:
        check_error(function, arguments, case.number("Error"))
        check_error(getattr(control, method), arguments, case.number("Error"))
    else:
        check_text(function, arguments, case[answer])
        assert getattr(control, method)(*arguments) == case[answer]


def password_runner(function, method, text):
    return lambda case: run_transform(function, method, (case.number("Number"), case[text]), case, "OutPut")


def text_runner(function, method):
    return lambda case: run_transform(function, method, (case["InPutString"],), case, "OutPut")


def run_seed(case):
    arguments = (case["InPutString"], case["SeedPassword"])
    run_transform(quillfern.seed_encryption, "SeedEncryption", arguments, case, "Result")


def run_power(case):
    page = case["CodePage"].decode()
    text = case["InPutString"]
    assert quillfern.power_encryption(text, page) == case["Result"]
    assert quillfern.power_encryption(text, code_page=page) == case["Result"]
    assert quillfern.Encryption(code_page=page).PowerEncryption(text) == case["Result"]


def run_fast_blow_fish(case):
    zeros = tuple(int(n) for n in case["Zeros"].split())
    text, password, expected = case["InPutString"], case["Password"], case["OutPut"]
    result = quillfern.fast_blow_fish(text, password)
    assert isinstance(result, quillfern.Ciphered)
    assert result == expected and result.zeros == zeros
    result = quillfern.fast_blow_fish(as_str(text), as_str(password), encoding="latin1")
    assert isinstance(result, quillfern.CipheredText)
    assert result == as_str(expected) and result.zeros == zeros
    control = quillfern.Encryption()
    assert control.FastBlowFish(text, password) == expected
    assert control.messages == [Message("ERROR Zero!", 0, "quillfern")] * len(zeros)


def text_box_runner(function, method):
    def run(case):
        expected = (None if case.is_empty_variant("Result") else case["Result"], case["Password after"])
        arguments = (case["InPutText"], case["Password"])
        dropped = int(case["Dropped"])
        if dropped:
            with pytest.raises(quillfern.DataLoss) as raised:
                function(*arguments)
            assert raised.value.result == expected
        else:
            assert function(*arguments) == expected
        assert function(*arguments, allow_loss=True) == expected
        control = quillfern.Encryption()
        assert getattr(control, method)(*arguments) == expected
        assert control.messages == []
    return run


def cipher_text_runner(function, method, text, loss_key):
    def run(case):
        arguments = (case[text], case["Password"])
        control = quillfern.Encryption()
        assert getattr(control, method)(*arguments) == case["Result"]
        if "Box" in case:
            assert control.messages == [Message(case["Box"].decode(), 12, "Oldvane")]
            with pytest.raises(quillfern.Refused) as raised:
                function(*arguments)
            assert (raised.value.message, raised.value.title) == (case["Box"].decode(), "Oldvane")
            return
        assert control.messages == []
        if loss_key in case:
            with pytest.raises(quillfern.DataLoss) as raised:
                function(*arguments)
            assert raised.value.position == int(case[loss_key])
            assert raised.value.result == case["Result"]
            check_text(function, arguments, case["Result"], allow_loss=True)
        else:
            check_text(function, arguments, case["Result"])
    return run


def run_file_cipher(case, tmp_path):
    state, end = int(case["State"]), int(case["End"])
    source, target = tmp_path / "in", tmp_path / "out"
    source.write_bytes(case["InputFile"])
    assert quillfern.encode_decode_file(source, target, case["Password"], state) == end
    assert target.read_bytes() == case["OutputFile after"]
    control = quillfern.Encryption(state=state)
    control.EncodeDecodeFile(source, tmp_path / "by control", case["Password"])
    assert control.generator_state == end
    assert (tmp_path / "by control").read_bytes() == case["OutputFile after"]


RUNNERS = {
    "EncryptPassword": password_runner(quillfern.encrypt_password, "EncryptPassword", "DecryptedPassword"),
    "DecryptPassword": password_runner(quillfern.decrypt_password, "DecryptPassword", "EncryptedPassword"),
    "convert": text_runner(quillfern.convert, "convert"),
    "DeConvert": text_runner(quillfern.deconvert, "DeConvert"),
    "EasyCryptEnCode": text_runner(quillfern.easy_crypt_encode, "EasyCryptEnCode"),
    "EasyCryptDeCode": text_runner(quillfern.easy_crypt_decode, "EasyCryptDeCode"),
    "SeedEncryption": run_seed,
    "PowerEncryption": run_power,
    "FastBlowFish": run_fast_blow_fish,
    "TextBoxCrypt": text_box_runner(quillfern.text_box_crypt, "TextBoxCrypt"),
    "TextBoxDeCrypt": text_box_runner(quillfern.text_box_decrypt, "TextBoxDeCrypt"),
    "EnCipherText": cipher_text_runner(quillfern.encipher_text, "EnCipherText", "CipherInString", "CutAt"),
    "DeCipherText": cipher_text_runner(quillfern.decipher_text, "DeCipherText", "CipherString", "StoppedAt"),
}


def test_every_file_has_cases_and_every_section_a_runner():
    assert CASES
    sections = {case.section for case in CASES}
    assert sections <= set(RUNNERS) | NOT_OFFERED | {"EncodeDecodeFile"}
    # and no runner waits for a section that was renamed away
    assert set(RUNNERS) <= sections


@pytest.mark.parametrize("case", [c for c in CASES if c.section not in NOT_OFFERED], ids=vectors.Case.id)
def test_vector(case, tmp_path):
    if case.section == "EncodeDecodeFile":
        run_file_cipher(case, tmp_path)
    else:
        RUNNERS[case.section](case)


# ---- every case through the Encryption method its row makes ----------------

ROWS = {row.name: row for row in quillfern.operations if row.kind == "method"}


def run_through_row(case, tmp_path):
    """The case through the method of its row, the arguments given by their
    published names as keywords: the result, then every written parameter
    (its out value, or its value after for an in-out), as the row says."""
    row = ROWS[case.section]
    control = quillfern.Encryption(code_page=case["CodePage"].decode() if "CodePage" in case else "cp1252",
                                   state=int(case["State"]) if "State" in case else None)
    arguments = {}
    for p in row.parameters:
        if p.file:
            path = tmp_path / p.name
            if p.name in case:
                path.write_bytes(case[p.name])
            arguments[p.name] = path
        elif p.direction != "out":
            arguments[p.name] = case.number(p.name) if p.type == "Byte" else case[p.name]
    method = getattr(control, row.name)
    if "Error" in case:
        check_error(lambda: method(**arguments), (), case.number("Error"))
        return
    expected = []
    if row.result != "none":
        expected.append(None if case.is_empty_variant("Result") else case["Result"])
    for p in row.parameters:
        if p.direction == "out":
            expected.append(case[p.name])
        elif p.direction == "in, out":
            expected.append(case[p.name + " after"])
    result = method(**arguments)
    assert result == (None if not expected else expected[0] if len(expected) == 1 else tuple(expected))
    for p in row.parameters:
        if p.file and p.name + " after" in case:
            assert (tmp_path / p.name).read_bytes() == case[p.name + " after"]
    if "End" in case:
        assert control.generator_state == int(case["End"])
    if "Box" in case:
        assert [m.text for m in control.messages] == [case["Box"].decode()]


@pytest.mark.parametrize("case", [c for c in CASES if c.section in ROWS], ids=vectors.Case.id)
def test_vector_through_the_row(case, tmp_path):
    run_through_row(case, tmp_path)


def test_every_method_row_that_takes_a_text_has_vectors():
    sections = {case.section for case in CASES}
    for name, row in ROWS.items():
        if any(p.type == "String" and not p.file for p in row.parameters):
            assert name in sections, name
