#!/usr/bin/python3
"""Checks the machine code of the property functions in RUDID32.dll: no x87
instruction may touch a value before the library's control word is in force.

A host may call with invalid operation unmasked (control word 0x1332); an
argument that passes through the FPU before the library switches the
control word (fldl/fstpl when a double is copied by value) traps there on a
signalling NaN instead of failing with the library's code.

    check_wrapper_fpu.py OBJDUMP RUDID32.dll NAME...

For each exported function NAME, the instructions are followed in address
order from its entry, into the functions it calls or jumps to, until the
control word is switched: an fldcw, or a call of a function that holds one.
Any other x87 instruction met before that is reported.
"""
import re
import subprocess
import sys

# x87 instructions that touch no value on the register stack.
CONTROL_ONLY = {"fldcw", "fnstcw", "fstcw", "fnclex", "fclex", "fnstsw", "fstsw",
                "fwait", "wait", "fninit", "finit", "fnstenv", "fstenv", "fldenv"}

FUNCTION = re.compile(r"^[0-9a-f]+ <([^>]+)>:$")
INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\s+(?:[0-9a-f]{2} )+\s*([a-z][a-z0-9]*)\s*(.*)$")
TARGET = re.compile(r"<([^>+]+)>")


def parse(disassembly):
    functions = {}
    current = None
    for line in disassembly.splitlines():
        match = FUNCTION.match(line)
        if match:
            current = functions.setdefault(match.group(1), [])
            continue
        match = INSTRUCTION.match(line)
        if match and current is not None:
            current.append((match.group(1), match.group(2), match.group(3)))
    return functions


def is_x87_value_instruction(mnemonic):
    return mnemonic.startswith("f") and mnemonic not in CONTROL_ONLY


def switches_control_word(functions, name):
    return any(m == "fldcw" for _, m, _ in functions.get(name, []))


SWITCHED = "switched"


def first_fpu_use(functions, name, depth=0, seen=None):
    """The first x87 value instruction before the control-word switch, as
    (function, address, text); SWITCHED when the switch comes first, here or
    in a function called on the way; None when the code shows neither."""
    seen = seen if seen is not None else set()
    if name in seen or depth > 4:
        return None
    seen.add(name)
    for address, mnemonic, operands in functions.get(name, []):
        if mnemonic == "fldcw":
            return SWITCHED
        if is_x87_value_instruction(mnemonic):
            return (name, address, f"{mnemonic} {operands}".strip())
        if mnemonic in ("call", "calll", "jmp") and (target := TARGET.search(operands)):
            callee = target.group(1)
            if callee == name or callee not in functions:
                continue
            if switches_control_word(functions, callee):
                return SWITCHED
            found = first_fpu_use(functions, callee, depth + 1, seen)
            if found:
                return found
    return None


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    objdump, dll, names = sys.argv[1], sys.argv[2], sys.argv[3:]
    functions = parse(subprocess.run([objdump, "-d", dll], check=True, capture_output=True,
                                     text=True).stdout)
    failed = 0
    for name in names:
        # i686 symbols carry a leading underscore, __stdcall ones also the
        # size of their arguments (_RudidVbAQPPTH@20).
        pattern = re.compile(r"_?%s(@[0-9]+)?" % re.escape(name))
        symbol = next((s for s in functions if pattern.fullmatch(s)), None)
        if symbol is None:
            print(f"not ok - {name}: no such function in the disassembly")
            failed += 1
            continue
        found = first_fpu_use(functions, symbol)
        if found and found != SWITCHED:
            print(f"not ok - {name}: {found[2]} at {found[1]} in {found[0]} before the control word")
            failed += 1
        else:
            print(f"ok - {name}: no x87 value instruction before the control word")
    print(f"{len(names) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
