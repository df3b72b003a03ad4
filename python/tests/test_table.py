"""The binding is written from the table of operations: every row is a
method of Encryption (and, where it has one, a module function checked
against the row), so that a new operation cannot be forgotten."""

import inspect

import pytest

import quillfern

# Rows without a module function, and why: About needs a window, which a
# module function has no host for; Enabled is the control's own state.
NO_FUNCTION = {"About", "Enabled"}


def read_names(row):
    return [p.name for p in row.parameters if p.direction != "out"]


def test_the_table_is_the_interface():
    rows = quillfern.operations
    assert [r.name for r in rows][:3] == ["Enabled", "Enabled", "About"]
    assert [r.kind for r in rows][:2] == ["property_get", "property_put"]
    encrypt = next(r for r in rows if r.name == "EncryptPassword")
    assert encrypt.dispid == 0x60030005 and encrypt.result == "none"
    assert encrypt.parameters == (quillfern.Parameter("Number", "Byte", "in", False),
                                  quillfern.Parameter("DecryptedPassword", "String", "in", False),
                                  quillfern.Parameter("OutPut", "String", "out", False))
    files = next(r for r in rows if r.name == "EncodeDecodeFile")
    assert [p.file for p in files.parameters] == [True, True, False]
    assert len({(r.name, r.kind) for r in rows}) == len(rows)


def test_every_method_row_is_a_method_with_its_read_parameters():
    control = quillfern.Encryption()
    for row in quillfern.operations:
        if row.kind != "method":
            assert isinstance(getattr(quillfern.Encryption, row.name), property), row.name
            continue
        method = getattr(control, row.name)
        assert list(inspect.signature(method).parameters) == read_names(row), row.name
        assert len(method.__doc__) > 20, row.name


def test_every_method_row_has_a_module_function_that_takes_what_it_reads():
    functions = quillfern._quillfern._functions
    rows = {r.name: r for r in quillfern.operations}
    assert set(functions) | NO_FUNCTION == set(rows)
    for name, function_name in functions.items():
        function = getattr(quillfern, function_name)
        assert function_name in quillfern.__all__
        positional = [p for p in inspect.signature(function).parameters.values()
                      if p.kind == p.POSITIONAL_OR_KEYWORD and p.default is p.empty]
        assert len(positional) == len(read_names(rows[name])), name


def test_methods_return_the_result_then_what_they_write():
    control = quillfern.Encryption()
    # no result, one out: the out alone
    assert control.EncryptPassword(5, b"Secret1") == b"]emhoj3"
    # a result and an in-out: a tuple; the empty variant is None
    assert control.TextBoxCrypt(b"", b"abc") == (None, b"4")
    # a result alone
    assert control.SeedEncryption(b"abc", b"abc") == bytes(3)
    # nothing at all
    assert control.About.__doc__


def test_arguments_bind_as_python_binds_them():
    control = quillfern.Encryption()
    assert control.DecryptPassword(EncryptedPassword=b"]emhoj3", Number=5) == b"Secret1"
    assert control.DecryptPassword(5, EncryptedPassword=b"]emhoj3") == b"Secret1"
    calls = [
        lambda: control.DecryptPassword(5),
        lambda: control.DecryptPassword(5, b"x", b"y"),
        lambda: control.DecryptPassword(5, b"x", Number=5),
        lambda: control.DecryptPassword(5, b"x", OutPut=b""),  # an out is not an argument
        lambda: control.convert(12),
        lambda: control.FastBlowFish(b"text", "password"),
        lambda: control.EncryptPassword("5", b"x"),
    ]
    for call in calls:
        with pytest.raises(TypeError) as raised:
            call()
        assert str(raised.value)
    with pytest.raises(ValueError, match="Number"):
        control.EncryptPassword(256, b"x")
