"""The package's surface: its names, the stubs that type them, and the
docstrings and signatures that help() shows."""

import ast
import inspect
import os
import pydoc

import quillfern

STUBS = os.path.join(os.path.dirname(quillfern.__file__), "__init__.pyi")


def stub_tree():
    with open(STUBS, encoding="utf-8") as source:
        return ast.parse(source.read())


def stub_names(body):
    names = set()
    for node in body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
    return names


def stub_parameters(body, name):
    """The parameter names of the (first overload of the) stub `name`, without self."""
    for node in body:
        if isinstance(node, ast.FunctionDef) and node.name == name:
            arguments = node.args
            names = [a.arg for a in arguments.posonlyargs + arguments.args + arguments.kwonlyargs]
            return [n for n in names if n != "self"]
    raise AssertionError(f"no stub for {name}")


def test_the_stubs_type_every_public_name_and_nothing_else():
    assert stub_names(stub_tree().body) - {"Bytes", "Path"} == set(quillfern.__all__)
    assert os.path.isfile(os.path.join(os.path.dirname(quillfern.__file__), "py.typed"))


def test_the_stubs_have_the_parameters_of_the_functions():
    body = stub_tree().body
    for name in quillfern.__all__:
        value = getattr(quillfern, name)
        if inspect.isbuiltin(value):
            assert stub_parameters(body, name) == list(inspect.signature(value).parameters), name


def test_the_stubs_have_the_methods_of_the_control():
    control = next(n for n in stub_tree().body if isinstance(n, ast.ClassDef) and n.name == "Encryption")
    instance = quillfern.Encryption()
    methods = {n.name for n in control.body if isinstance(n, ast.FunctionDef) and not n.name.startswith("_")}
    public = {n for n in dir(quillfern.Encryption) if not n.startswith("_")}
    assert methods | {"Enabled", "generator_state"} == public
    for name in methods - {"messages", "code_page"}:
        assert stub_parameters(control.body, name) == list(inspect.signature(getattr(instance, name)).parameters)


def test_help_shows_the_signature_and_the_text():
    page = pydoc.render_doc(quillfern.decrypt_password, renderer=pydoc.plaintext)
    assert "decrypt_password(number, text, *, encoding='cp1252')" in page
    assert "Restore a text scrambled by encrypt_password" in page
    for name in quillfern.__all__:
        value = getattr(quillfern, name)
        if callable(value):
            assert value.__doc__ and len(value.__doc__) > 40, name
    for name in dir(quillfern.Encryption):
        if not name.startswith("_"):
            assert getattr(quillfern.Encryption, name).__doc__, name


def test_version_is_the_library_version():
    with open(os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt"), encoding="utf-8") as source:
        assert f"VERSION {quillfern.__version__}" in source.read()


def test_the_readme_migration_example_runs(tmp_path, monkeypatch):
    import csv
    with open(os.path.join(os.path.dirname(__file__), "..", "..", "README.md"), encoding="utf-8") as source:
        blocks = source.read().split("```python\n")[1:]
    example = next(block for block in blocks if "csv.DictReader" in block).split("```")[0]
    plain = {"name": "ann", "pw": "S\u00e9cret1", "note": "Call me, caf\u00e9 at 8"}
    with open(tmp_path / "users.csv", "w", newline="", encoding="cp1252") as out:
        writer = csv.DictWriter(out, list(plain))
        writer.writeheader()
        writer.writerow({"name": "ann", "pw": quillfern.encrypt_password(5, plain["pw"]),
                         "note": quillfern.convert(quillfern.fast_blow_fish(plain["note"], "key"))})
    monkeypatch.chdir(tmp_path)
    exec(compile(example, "README.md", "exec"), {})
    with open(tmp_path / "users-plain.csv", newline="", encoding="utf-8") as result:
        assert list(csv.DictReader(result)) == [plain]
