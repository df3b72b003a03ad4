#!/usr/bin/env python3
"""Holds the host modules to the C interface: every function of
capi/quillfern.h is declared in the VBA module (windows/hosts/Quillfern.bas,
its VBA7 Declare statements) and in the .NET module
(windows/hosts/Quillfern.cs, its [DllImport] declarations), under the same
name, with the same parameters in the same order, and each parameter and
result of a type that carries the C type at the same width on 64-bit and
32-bit Windows (LongPtr for pointers and sizes, Long for int, Byte for
unsigned char; file names as UTF-16 pointers, never as VBA's ANSI String).

usage: hosts_test.py quillfern.h Quillfern.bas Quillfern.cs
"""
import os
import re
import sys

# C type -> the VBA parameter forms and the C# ones that carry it.
def parameter_forms(path):
    vba, cs = {}, {}
    for line in open(path, encoding="utf-8"):
        if line.strip() and not line.startswith("#"):
            ctype, vba_forms, cs_forms = (field.strip() for field in line.split(" | "))
            vba[ctype] = {form.strip() for form in vba_forms.split(" / ")}
            cs[ctype] = {form.strip() for form in cs_forms.split(" / ")}
    return vba, cs


VBA_PARAMETERS, CS_PARAMETERS = parameter_forms(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                             "host_types.txt"))
VBA_RESULTS = {"int": "Function Long", "const char *": "Function LongPtr", "void": "Sub"}
CS_RESULTS = {"int": "int", "const char *": "IntPtr", "void": "void"}


def c_functions(header):
    """name -> (result type, [(type, name)]) in the header's order."""
    text = re.sub(r"/\*.*?\*/", " ", header, flags=re.S)
    functions = {}
    pattern = r"^QUILLFERN_API\s+([^;(]+?)\s*QUILLFERN_CALL\s+(quillfern_\w+)\s*\(([^)]*)\)\s*;"
    for result, name, params in re.findall(pattern, text, flags=re.M):
        parameters = []
        for param in params.split(","):
            param = " ".join(param.split())
            if param in ("void", ""):
                continue
            match = re.fullmatch(r"(.*?)\s*(\w+)", param)
            ctype = re.sub(r"\s*\*", " *", match.group(1)).replace("* *", "**").strip()
            parameters.append((ctype, match.group(2)))
        functions[name] = (re.sub(r"\s*\*", " *", " ".join(result.split())).strip(), parameters)
    return functions


def vba_declarations(module):
    """name -> (kind and result, [(form, name)]), from the VBA7 branch."""
    branch = module.split("#If VBA7 Then", 1)[1].split("#Else", 1)[0]
    declared = {}
    pattern = (r'^Private Declare PtrSafe (Function|Sub) (\w+) Lib "quillfern\.dll" \(([^)]*)\)(?: As (\w+))?\s*$')
    for kind, name, params, result in re.findall(pattern, branch, flags=re.M):
        parameters = []
        for param in filter(None, (p.strip() for p in params.split(","))):
            match = re.fullmatch(r"(ByVal|ByRef) (\w+) As (\w+)", param)
            if match is None:
                parameters.append(("?" + param, "?"))
            else:
                parameters.append((match.group(1) + " " + match.group(3), match.group(2)))
        declared[name] = ((kind + " " + result).strip(), parameters)
    # Every Declare of the library must have been read by the pattern.
    for line in branch.splitlines():
        if 'Lib "quillfern.dll"' in line and not re.match(pattern, line):
            declared.setdefault("(unread) " + line.strip(), ("?", []))
    return declared


def cs_declarations(module):
    declared = {}
    if 'private const string Dll = "quillfern.dll";' not in module:
        declared["(no Dll = \"quillfern.dll\")"] = ("?", [])
    pattern = r"\[DllImport\(Dll, CallingConvention = Call\)\] public static extern (\S+) (quillfern_\w+)\((.*)\);\s*$"
    for result, name, params in re.findall(pattern, module, flags=re.M):
        parameters = []
        for param in filter(None, (p.strip() for p in re.split(r",(?![^\[]*\])", params))):
            words = param.rsplit(" ", 1)
            parameters.append((words[0], words[1]))
        declared[name] = (result, parameters)
    if "private const CallingConvention Call = CallingConvention.StdCall;" not in module:
        declared["(calls are not stdcall)"] = ("?", [])
    return declared


def compare(what, functions, declared, parameter_forms, result_forms):
    wrong = []
    for name in sorted(set(declared) - set(functions)):
        wrong.append(f"{what}: {name} is not a function of the header")
    for name, (result, parameters) in functions.items():
        if name not in declared:
            wrong.append(f"{what}: {name} is not declared")
            continue
        have_result, have = declared[name]
        if have_result != result_forms.get(result):
            wrong.append(f"{what}: {name} returns {have_result}, the header {result}")
        if len(have) != len(parameters):
            wrong.append(f"{what}: {name} takes {len(have)} parameters, the header {len(parameters)}")
            continue
        for (form, pname), (ctype, cname) in zip(have, parameters):
            if pname != cname:
                wrong.append(f"{what}: {name}: parameter {pname}, the header's is {cname}")
            if form not in parameter_forms.get(ctype, set()):
                wrong.append(f"{what}: {name}: {pname} as {form} cannot carry {ctype}")
    return wrong


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    functions = c_functions(open(argv[1], encoding="utf-8").read())
    vba = vba_declarations(open(argv[2], encoding="utf-8").read())
    cs = cs_declarations(open(argv[3], encoding="utf-8").read())
    wrong = compare("Quillfern.bas", functions, vba, VBA_PARAMETERS, VBA_RESULTS)
    wrong += compare("Quillfern.cs", functions, cs, CS_PARAMETERS, CS_RESULTS)
    for line in wrong:
        print(line)
    print(f"capi hosts: {len(functions)} functions of the header, {len(vba)} VBA and {len(cs)} C# declarations, "
          f"{len(wrong)} differences")
    return 0 if wrong == [] and len(functions) > 20 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
