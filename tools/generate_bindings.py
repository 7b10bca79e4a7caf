#!/usr/bin/python3
"""Generates the bindings that repeat the public header's lists in another
language, so that none of them is a second copy kept by hand:

  examples/excel/RUDID32.bas   the VBA module for Excel: Declare lines of the
                               Visual Basic twins for 32- and 64-bit Office,
                               the context calls, a worksheet function per
                               property function (refined) and its _TABLE
                               twin, RudidCaution's words for the flags, the
                               named codes
  pascal/rudid32.pas           the Pascal unit: external declarations of
                               every exported function, the named codes

Everything comes from include/rudid32.h: the rows of
RUDID_PROPERTY_FUNCTIONS, the prototypes, and the #defines of the named
codes. After a change of the header:

    tools/generate_bindings.py            rewrites both files
    tools/generate_bindings.py --check    fails if either is out of date
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(__file__).resolve().parent.parent
HEADER = ROOT / "include" / "rudid32.h"
VBA_MODULE = ROOT / "examples" / "excel" / "RUDID32.bas"
PASCAL_UNIT = ROOT / "pascal" / "rudid32.pas"

# Names of the quantities of arguments and results, as parameter names.
ARGUMENT_NAMES = {
    "RUDID_PRESSURE": "pressure",
    "RUDID_TEMPERATURE": "temperature",
    "RUDID_QUALITY": "quality",
    "RUDID_SPECIFIC_ENTHALPY": "enthalpy",
    "RUDID_SPECIFIC_ENTROPY": "entropy",
    "RUDID_SPECIFIC_VOLUME": "volume",
}


class Function:
    def __init__(self, name, ordinal, arity, arguments, description):
        self.name = name
        self.ordinal = ordinal
        self.arity = arity
        self.arguments = arguments  # parameter names, one per argument
        self.description = description


def property_functions(header):
    rows = re.findall(
        r'X\((AQP[A-Z]+),\s*(\d+),\s*([12]),\s*(RUDID_\w+),\s*(RUDID_\w+),\s*RUDID_\w+,\s*\w+,'
        r'\s*\d+,\s*[-\w]+,\s*"([^"]*)"\)', header)
    functions = []
    for name, ordinal, arity, first, second, description in rows:
        arity = int(arity)
        arguments = [ARGUMENT_NAMES[first]] + ([ARGUMENT_NAMES[second]] if arity == 2 else [])
        functions.append(Function(name, int(ordinal), arity, arguments, description))
    if len(functions) != len(re.findall(r"^\s*X\(AQP", header, re.M)):
        sys.exit("generate_bindings.py: a row of RUDID_PROPERTY_FUNCTIONS was not understood")
    return functions


def section(header, start, end):
    return header[header.index(start):header.index(end)]


def named_codes(header):
    """(name, value, comment) of the error and failure codes."""
    block = section(header, "/* Named codes", "/* Quantity codes")
    codes = []
    for name, value, comment in re.findall(
            r"#define (RUDID_\w+)\s+\(?(-?\d+)\)?[ \t]*(?:/\* (.*?) \*/)?", block):
        codes.append((name, int(value), comment))
    return codes


def bit_codes(header):
    """(name, value, comment) of the bits: flags and the options of
    contexts; and the status codes of the batch calls."""
    bits = [(n, int(v, 16), c) for n, v, c in re.findall(
        r"#define (RUDID_(?:FLAG_\w+|KEEP_TABLES|READ_FILES|REFINED|TABLE))\s+0x([0-9A-Fa-f]+)[ \t]*(?:/\* (.*?) \*/)?",
        header)]
    statuses = [(n, int(v), "") for n, v in re.findall(
        r"#define (RUDID_(?:UNKNOWN_FUNCTION|BAD_ARGUMENTS|OUT_OF_MEMORY))\s+\((-\d+)\)", header)]
    # The whole state: where each property sits, the codes of a property
    # that has no value, and the phases.
    state = [(n, int(v), c) for n, v, c in re.findall(
        r"#define (RUDID_NO_(?:STATE|QUALITY))\s+\((-\d+)\)[ \t]*(?:/\* (.*?) \*/)?", header)]
    state += [(n, int(v), c) for n, v, c in re.findall(
        r"#define (RUDID_(?:STATE|PHASE)_\w+)\s+(\d+)[ \t]*(?:/\* (.*?) \*/)?", header)]
    # The derived properties: where each sits in a row, and the codes of a
    # property a state has not.
    state += [(n, int(v), c) for n, v, c in re.findall(
        r"#define (RUDID_(?:TWO_PHASE|NOT_SATURATED|NO_FORMULATION_STATE))\s+\((-\d+)\)[ \t]*(?:/\* (.*?) \*/)?",
        header)]
    state += [(n, int(v), c) for n, v, c in re.findall(
        r"#define (RUDID_(?:DERIVED_PROPERTIES|PROPERTY_\w+))\s+(\d+)[ \t]*(?:/\* (.*?) \*/)?", header)]
    return statuses + bits + state


def quantity_codes(header):
    block = section(header, "/* Quantity codes", "/* What the library is")
    codes = [(n, int(v)) for n, v in re.findall(r"#define (RUDID_\w+)\s+\(?(-?\d+)\)?", block)]
    codes += [(n, int(v)) for n, v in re.findall(r"#define (RUDID_NO_QUANTITY)\s+\((-?\d+)\)", header)]
    return codes


def prototypes(header):
    """(return type, name, [(type, parameter)], convention) of the functions
    the header declares one by one (all but the property functions and their
    twins, which come from the list)."""
    found = []
    for result, convention, name, parameters in re.findall(
            r"RUDID_API\s+([\w\s\*]+?)\s*(RUDID_CALL|RUDID_VB_CALL)\s+(Rudid\w+)\(([^)]*)\);", header):
        params = []
        for parameter in " ".join(parameters.split()).split(","):
            parameter = parameter.strip()
            if parameter in ("void", ""):
                continue
            match = re.fullmatch(r"(.*?)(\w+)", parameter)
            params.append((" ".join(match.group(1).split()), match.group(2)))
        found.append((" ".join(result.split()), name, params, convention))
    return found


# The VBA module ------------------------------------------------------------

def vba_declares(functions, declare):
    lines = []
    for f in functions:
        parameters = ", ".join(f"ByVal {a} As Double" for a in f.arguments)
        lines.append(f'    Private {declare} RudidVb{f.name} Lib "RUDID32.dll" _\n'
                     f"        ({parameters}, ByRef code As Long) As Double")
    lines.append(f'    Private {declare} RudidVbMessage Lib "RUDID32.dll" _\n'
                 "        (ByVal func As String, ByVal code As Long, ByVal buffer As String, "
                 "ByVal size As Long) As Long")
    # A context is a pointer: LongPtr in 64-bit Office, Long in 32-bit.
    handle = "LongPtr" if "PtrSafe" in declare else "Long"
    sub = declare.replace("Function", "Sub")
    lines.append(f'    Private {declare} RudidVbOpen Lib "RUDID32.dll" _\n'
                 f"        (ByVal directory As String, ByVal units As String, ByVal options As Long) As {handle}")
    lines.append(f'    Private {sub} RudidVbClose Lib "RUDID32.dll" (ByVal context As {handle})')
    lines.append(f'    Private {declare} RudidVbContextEvaluate Lib "RUDID32.dll" _\n'
                 f"        (ByVal context As {handle}, ByVal func As String, ByVal options As Long, _\n"
                 "         ByVal arg1 As Double, ByVal arg2 As Double, ByRef code As Long) As Double")
    lines.append(f'    Private {declare} RudidVbContextFlags Lib "RUDID32.dll" _\n'
                 f"        (ByVal context As {handle}, ByVal func As String, ByVal options As Long, _\n"
                 "         ByVal arg1 As Double, ByVal arg2 As Double) As Long")
    lines.append(f'    Private {declare} RudidVbContextMessage Lib "RUDID32.dll" _\n'
                 f"        (ByVal context As {handle}, ByVal func As String, ByVal code As Long, _\n"
                 "         ByVal buffer As String, ByVal size As Long) As Long")
    lines.append(f'    Private {declare} RudidVbSolveState Lib "RUDID32.dll" _\n'
                 f"        (ByVal context As {handle}, ByVal given As String, ByVal options As Long, _\n"
                 "         ByVal arg1 As Double, ByVal arg2 As Double, ByVal property As Long, "
                 "ByRef code As Long) As Double")
    lines.append(f'    Private {declare} RudidVbContextProperty Lib "RUDID32.dll" _\n'
                 f"        (ByVal context As {handle}, ByVal property As String, ByVal given As String, _\n"
                 "         ByVal options As Long, ByVal arg1 As Double, ByVal arg2 As Double, "
                 "ByRef code As Long) As Double")
    lines.append(f"    Private gContext As {handle}  ' the context of RudidUseUnits; 0 for none")
    return "\n".join(lines)


# What each flag asks the reader to be careful of, as RudidCaution words
# it; the header's comment on the flag follows in brackets.
CAUTION_WORDS = {
    "RUDID_FLAG_MIXED_PHASE_CELL": "mixed-phase cell",
    "RUDID_FLAG_NEAR_SATURATION": "near saturation",
    "RUDID_FLAG_CRITICAL_REGION": "critical region",
    "RUDID_FLAG_COARSE_GRID": "coarse grid",
    "RUDID_FLAG_ILL_POSED": "ill-posed",
}


def flag_codes(header):
    flags = [(n, v, c) for n, v, c in bit_codes(header) if n.startswith("RUDID_FLAG_")]
    unknown = [n for n, _, _ in flags if n not in CAUTION_WORDS]
    if unknown:
        sys.exit("generate_bindings.py: no caution words for " + ", ".join(unknown))
    return flags


def vba_module(header):
    functions = property_functions(header)
    codes = named_codes(header)
    out = []
    w = out.append
    w('Attribute VB_Name = "RUDID32"')
    w("' Water and steam properties from RUDID32.dll for Excel worksheets and macros.")
    w("'")
    w("' Generated by tools/generate_bindings.py from include/rudid32.h; change the")
    w("' header and run the generator, not this file. Installing: docs/windows.md,")
    w("' \"Calling from Excel\".")
    w("'")
    w("' Worksheet functions: one per property function, with the same name and")
    w("' arguments (=AQPPTH(A2, B2)), in the units of the installation's default.cfg")
    w("' (or of RudidUseUnits). They give the refined answer, the closer one; the")
    w("' same name with _TABLE (=AQPPTH_TABLE(A2, B2)) gives the table answer, the")
    w("' number the DLL's property function returns.")
    w("' Each returns the property, or an Excel error value:")
    w("'   #VALUE!  an argument is text, a logical value, empty or several cells;")
    w("'   #NUM!    the state is outside the tables (error codes -1001 ...), or an")
    w("'            argument is too large, infinite or not a number;")
    w("'   #N/A     the library could not answer: RUDID32.dll or a table file is")
    w("'            missing or unreadable;")
    w("'   an error value in an argument's cell is passed on.")
    w("' =RudidMessage(\"AQPPTH\", A2, B2) tells why in words (\"\" when there is an")
    w("' answer), naming the missing DLL or table file. =RudidCaution(\"AQPPTH\", A2, B2)")
    w("' tells what to be careful of in the answer (\"\" when nothing): a mixed-phase")
    w("' cell, near saturation, ...; \"AQPPTH_TABLE\" asks both about the table answer.")
    w("' =RudidUseUnits(\"pressure=psi, temperature=F\") (best from a macro such as")
    w("' Workbook_Open) makes the worksheet functions take and give those units;")
    w("' =RudidUseUnits(\"\") goes back to default.cfg's.")
    w("'")
    w("' Macros: RudidCall(\"AQPPTH\", p, t, code) returns the property with its code")
    w("' (0, an error code, or a failure code), RudidCodeMessage(\"AQPPTH\", code) the")
    w("' message of a code.")
    w("Option Explicit")
    w("")
    w("' The Visual Basic twins of the property functions: arguments by value, the")
    w("' answer as a Double, the outcome in code. 64-bit Office loads the 64-bit")
    w("' RUDID32.dll, 32-bit Office the 32-bit one (__stdcall); both have this name.")
    w("#If VBA7 And Win64 Then")
    w(vba_declares(functions, "Declare PtrSafe Function"))
    w('    Private Declare PtrSafe Function LoadLibraryA Lib "kernel32" (ByVal path As String) As LongPtr')
    w("    Private Const kDllFolder As String = \"win64\"")
    w("#Else")
    w(vba_declares(functions, "Declare Function"))
    w('    Private Declare Function LoadLibraryA Lib "kernel32" (ByVal path As String) As Long')
    w("    Private Const kDllFolder As String = \"win32\"")
    w("#End If")
    w("")
    w("' Codes of include/rudid32.h: error codes (the state is outside the tables)")
    w("' and failure codes (the library could not answer).")
    for name, value, comment in codes:
        note = f" ' {comment}" if comment else ""
        w(f"Public Const {name} As Long = {value}{note}")
    w("")
    w("' Codes of a wrong call, the flags of where an answer is poor, and the options")
    w("' of contexts.")
    for name, value, comment in bit_codes(header):
        note = f" ' {comment}" if comment else ""
        w(f"Public Const {name} As Long = {value if value < 0 else '&H%X' % value}{note}")
    w("")
    w("' Where RUDID32.dll is looked for before the first call: this folder if set,")
    w("' else the folder of this workbook (or add-in) and its subfolder win64 or")
    w("' win32 for the bitness of Office, else where Windows looks for DLLs.")
    w("Public RudidDllFolder As String")
    w("")
    w("Private Sub LoadRudid()")
    w("    Static tried As Boolean")
    w("    If tried Then Exit Sub")
    w("    tried = True")
    w("    Dim folders(2) As String, i As Integer")
    w("    folders(0) = RudidDllFolder")
    w("    folders(1) = ThisWorkbook.Path")
    w("    folders(2) = ThisWorkbook.Path & \"\\\" & kDllFolder")
    w("    For i = 0 To 2")
    w("        If Len(folders(i)) > 0 Then")
    w("            If Len(Dir(folders(i) & \"\\RUDID32.dll\")) > 0 Then")
    w("                ' Once loaded, the Declare lines find it by its name.")
    w("                If LoadLibraryA(folders(i) & \"\\RUDID32.dll\") <> 0 Then Exit Sub")
    w("            End If")
    w("        End If")
    w("    Next i")
    w("End Sub")
    w("")
    w("' The property function of that name for arg1 (and arg2); code receives 0, an")
    w("' error code or a failure code (the value is then the error code, or NaN).")
    w("' Raises VBA's error 53 or 48 when RUDID32.dll cannot be loaded.")
    w("Public Function RudidCall(ByVal func As String, ByVal arg1 As Double, ByVal arg2 As Double, _")
    w("                          ByRef code As Long) As Double")
    w("    LoadRudid")
    w("    Select Case UCase$(func)")
    for f in functions:
        args = "arg1" if f.arity == 1 else "arg1, arg2"
        w(f'        Case "{f.name}": RudidCall = RudidVb{f.name}({args}, code)')
    w("        Case Else: Err.Raise 5, \"RUDID32\", \"not a property function: \" & func")
    w("    End Select")
    w("End Function")
    w("")
    w("' The message of a code that RudidCall gave for func.")
    w("Public Function RudidCodeMessage(ByVal func As String, ByVal code As Long) As String")
    w("    Dim buffer As String, length As Long")
    w("    LoadRudid")
    w("    buffer = String$(256, vbNullChar)")
    w("    length = RudidVbMessage(func, code, buffer, Len(buffer))")
    w("    If length >= Len(buffer) Then")
    w("        buffer = String$(length + 1, vbNullChar)")
    w("        length = RudidVbMessage(func, code, buffer, Len(buffer))")
    w("    End If")
    w("    RudidCodeMessage = Left$(buffer, length)")
    w("End Function")
    w("")
    w("' The property function of that name for arg1 (and arg2) in the units of")
    w("' RudidUseUnits (else default.cfg's): the refined answer, or the table answer")
    w("' when refined is False, with code as RudidCall gives it (and also")
    w("' RUDID_UNKNOWN_FUNCTION for a name that is not a property function).")
    w("' Raises VBA's error 53 or 48 when RUDID32.dll cannot be loaded.")
    w("Public Function RudidCallIn(ByVal func As String, ByVal arg1 As Double, ByVal arg2 As Double, _")
    w("                            ByRef code As Long, Optional ByVal refined As Boolean = True) As Double")
    w("    LoadRudid")
    w("    If refined Or gContext <> 0 Then")
    w("        RudidCallIn = RudidVbContextEvaluate(gContext, func, AnswerOption(refined), arg1, arg2, code)")
    w("    Else")
    w("        RudidCallIn = RudidCall(func, arg1, arg2, code)")
    w("    End If")
    w("End Function")
    w("")
    w("Private Function AnswerOption(ByVal refined As Boolean) As Long")
    w("    If refined Then AnswerOption = RUDID_REFINED Else AnswerOption = RUDID_TABLE")
    w("End Function")
    w("")
    w("' The message of a code that RudidCallIn gave for func.")
    w("Public Function RudidCallInMessage(ByVal func As String, ByVal code As Long, _")
    w("                                   Optional ByVal refined As Boolean = True) As String")
    w("    Dim buffer As String, length As Long")
    w("    LoadRudid")
    w("    If Not refined And gContext = 0 Then RudidCallInMessage = RudidCodeMessage(func, code): Exit Function")
    w("    buffer = String$(256, vbNullChar)")
    w("    length = RudidVbContextMessage(gContext, func, code, buffer, Len(buffer))")
    w("    If length >= Len(buffer) Then")
    w("        buffer = String$(length + 1, vbNullChar)")
    w("        length = RudidVbContextMessage(gContext, func, code, buffer, Len(buffer))")
    w("    End If")
    w("    RudidCallInMessage = Left$(buffer, length)")
    w("End Function")
    w("")
    w("' Makes the worksheet functions use these units (\"pressure=psi, temperature=F\",")
    w("' as include/rudid32.h's RudidOpen takes them) and, when given, this data")
    w("' directory; \"\" and no directory go back to the installation's. Returns \"\", or")
    w("' why the units were not taken (the ones before stay). Recalculate afterwards")
    w("' (Ctrl+Alt+F9): Excel does not know that the other cells depend on it.")
    w("Public Function RudidUseUnits(ByVal units As String, Optional ByVal directory As String = \"\") As String")
    w("    On Error GoTo NoLibrary")
    w("    LoadRudid")
    w("    If Len(units) = 0 And Len(directory) = 0 Then")
    w("        If gContext <> 0 Then RudidVbClose gContext")
    w("        gContext = 0")
    w("        Exit Function")
    w("    End If")
    w("    Dim opened As Variant")
    w("    opened = RudidVbOpen(directory, units, 0)")
    w("    If opened = 0 Then")
    w("        RudidUseUnits = RudidCallInMessage(\"\", 0)")
    w("        If gContext <> 0 Then RudidUseUnits = RudidUseUnits & \" (the units before stay)\"")
    w("        Exit Function")
    w("    End If")
    w("    If gContext <> 0 Then RudidVbClose gContext")
    w("    gContext = opened")
    w("    Exit Function")
    w("NoLibrary:")
    w("    RudidUseUnits = Err.Description")
    w("End Function")
    w("")
    w("' A worksheet argument as a Double; False, with the Excel error value in")
    w("' failed (and its reason in why), when it is not a number.")
    w("Private Function CellNumber(ByVal v As Variant, ByRef x As Double, ByRef failed As Variant, _")
    w("                            ByRef why As String) As Boolean")
    w("    If TypeName(v) = \"Range\" Then")
    w("        If v.Cells.Count <> 1 Then")
    w("            failed = CVErr(xlErrValue): why = \"several cells where a number belongs\"")
    w("            Exit Function")
    w("        End If")
    w("        v = v.Value")
    w("    End If")
    w("    If IsError(v) Then")
    w("        failed = v: why = \"an error value in the arguments\"")
    w("        Exit Function")
    w("    End If")
    w("    Select Case VarType(v)")
    w("        Case vbDouble, vbSingle, vbInteger, vbLong, vbCurrency, vbDecimal, vbByte")
    w("            x = CDbl(v)")
    w("            CellNumber = True")
    w("        Case Else")
    w("            failed = CVErr(xlErrValue)")
    w("            If VarType(v) = vbString Then why = \"not a number: \" & v Else why = \"not a number (\" & TypeName(v) & \")\"")
    w("    End Select")
    w("End Function")
    w("")
    w("' The Excel error value for a code of RudidCall.")
    w("Private Function ErrorValueOf(ByVal code As Long) As Variant")
    w("    Select Case code")
    w("        Case RUDID_UNKNOWN_FUNCTION, RUDID_BAD_ARGUMENTS")
    w("            ErrorValueOf = CVErr(xlErrValue)")
    w("        Case Is < 0, RUDID_DIVISION_BY_ZERO, RUDID_FLOATING_POINT_OVERFLOW, _")
    w("             RUDID_INVALID_FLOATING_POINT_OPERATION")
    w("            ErrorValueOf = CVErr(xlErrNum)")
    w("        Case Else")
    w("            ErrorValueOf = CVErr(xlErrNA)")
    w("    End Select")
    w("End Function")
    w("")
    w("' One worksheet call: the value or an error value, and why in words.")
    w("Private Function CellAnswer(ByVal func As String, ByVal arity As Integer, ByVal arg1 As Variant, _")
    w("                          ByVal arg2 As Variant, ByRef why As String, ByVal refined As Boolean) As Variant")
    w("    Dim a As Double, b As Double, code As Long, value As Double, failed As Variant")
    w("    If Not CellNumber(arg1, a, failed, why) Then CellAnswer = failed: Exit Function")
    w("    If arity = 2 Then")
    w("        If Not CellNumber(arg2, b, failed, why) Then CellAnswer = failed: Exit Function")
    w("    End If")
    w("    On Error GoTo NoLibrary")
    w("    value = RudidCallIn(func, a, b, code, refined)")
    w("    On Error GoTo 0")
    w("    If code = 0 Then")
    w("        CellAnswer = value")
    w("        why = \"\"")
    w("    Else")
    w("        CellAnswer = ErrorValueOf(code)")
    w("        why = RudidCallInMessage(func, code, refined)")
    w("    End If")
    w("    Exit Function")
    w("NoLibrary:")
    w("    ' Error 53 \"File not found: RUDID32.dll\", 48 \"Error in loading DLL\", ...")
    w("    CellAnswer = CVErr(xlErrNA)")
    w("    why = Err.Description")
    w("End Function")
    w("")
    w("' The function that a worksheet names (\"AQPPTH\", or \"AQPPTH_TABLE\" for the")
    w("' table answer): its name, whether refined, and its number of arguments.")
    w("Private Sub NamedFunction(ByVal named As String, ByRef func As String, ByRef refined As Boolean, _")
    w("                          ByRef arity As Integer)")
    w("    func = UCase$(Trim$(named))")
    w("    refined = True")
    w("    If Right$(func, 6) = \"_TABLE\" Then func = Left$(func, Len(func) - 6): refined = False")
    w("    Select Case func")
    one = [f.name for f in functions if f.arity == 1]
    w("        Case " + ", ".join(f'"{n}"' for n in one) + ": arity = 1")
    w("        Case Else: arity = 2")
    w("    End Select")
    w("End Sub")
    w("")
    w("' Why the property function func (\"AQPPTH\" or \"AQPPTH_TABLE\") gives no value")
    w("' for these arguments, in words; \"\" when it gives one.")
    w("Public Function RudidMessage(ByVal func As String, ByVal arg1 As Variant, _")
    w("                             Optional ByVal arg2 As Variant) As String")
    w("    Dim why As String, arity As Integer, base As String, refined As Boolean")
    w("    NamedFunction func, base, refined, arity")
    w("    CellAnswer base, arity, arg1, arg2, why, refined")
    w("    RudidMessage = why")
    w("End Function")
    w("")
    w("' One property of the whole state that two others fix: =RudidState(\"hs\", 3000, 7, \"T\")")
    w("' is the temperature of steam of 3000 kJ/kg and 7 kJ/(kg K). given names the two")
    w("' of p, T, h, s, v, x in the order of arg1 and arg2; property is one of them. The")
    w("' refined answer, in the units of RudidUseUnits (else default.cfg's); refined")
    w("' False gives the table answer. #N/A where no state in the tables has the pair")
    w("' (or a single phase has no quality), #NUM! outside the tables.")
    w("Public Function RudidState(ByVal given As String, ByVal arg1 As Variant, ByVal arg2 As Variant, _")
    w("                           ByVal property As String, Optional ByVal refined As Boolean = True) As Variant")
    w("    Dim a As Double, b As Double, failed As Variant, why As String, code As Long, value As Double")
    w("    Dim index As Long")
    w("    index = InStr(1, \"pThsvx\", property, vbBinaryCompare) - 1")
    w("    If Len(property) <> 1 Or index < 0 Then RudidState = CVErr(xlErrValue): Exit Function")
    w("    If Not CellNumber(arg1, a, failed, why) Then RudidState = failed: Exit Function")
    w("    If Not CellNumber(arg2, b, failed, why) Then RudidState = failed: Exit Function")
    w("    On Error GoTo NoLibrary")
    w("    LoadRudid")
    w("    value = RudidVbSolveState(gContext, given, AnswerOption(refined), a, b, index, code)")
    w("    On Error GoTo 0")
    w("    If code = 0 Then RudidState = value Else RudidState = ErrorValueOf(code)")
    w("    If code = RUDID_NO_STATE Or code = RUDID_NO_QUALITY Then RudidState = CVErr(xlErrNA)")
    w("    Exit Function")
    w("NoLibrary:")
    w("    RudidState = CVErr(xlErrNA)")
    w("End Function")
    w("")
    w("' A property the library derives from the state that two others fix:")
    w("' =RudidProperty(\"cp\", \"pT\", 1, 25) is the isobaric heat capacity of water at 1 bar")
    w("' and 25 C. property is a name or symbol of RudidPropertyName / RudidPropertySymbol")
    w("' (\"density\", \"rho\", \"u\", \"cp\", \"cv\", \"w\", \"mu\", \"lambda\", \"Pr\", \"sigma\");")
    w("' given names the pair as RudidState takes it, or \"pu\" (internal energy) or a")
    w("' density d with another. In the units of RudidUseUnits (else default.cfg's);")
    w("' surface tension in N/m. #N/A where the state has none (wet steam's cp, a single")
    w("' phase's surface tension) or no state has the pair, #NUM! outside the tables.")
    w("Public Function RudidProperty(ByVal property As String, ByVal given As String, ByVal arg1 As Variant, _")
    w("                              ByVal arg2 As Variant, Optional ByVal refined As Boolean = True) As Variant")
    w("    Dim a As Double, b As Double, failed As Variant, why As String, code As Long, value As Double")
    w("    If Not CellNumber(arg1, a, failed, why) Then RudidProperty = failed: Exit Function")
    w("    If Not CellNumber(arg2, b, failed, why) Then RudidProperty = failed: Exit Function")
    w("    On Error GoTo NoLibrary")
    w("    LoadRudid")
    w("    value = RudidVbContextProperty(gContext, property, given, AnswerOption(refined), a, b, code)")
    w("    On Error GoTo 0")
    w("    If code = 0 Then RudidProperty = value Else RudidProperty = ErrorValueOf(code)")
    w("    If code = RUDID_NO_STATE Or code = RUDID_TWO_PHASE Or code = RUDID_NOT_SATURATED Or _")
    w("       code = RUDID_NO_FORMULATION_STATE Then RudidProperty = CVErr(xlErrNA)")
    w("    Exit Function")
    w("NoLibrary:")
    w("    RudidProperty = CVErr(xlErrNA)")
    w("End Function")
    w("")
    w("' What to be careful of in the answer of func (\"AQPPTH\" for the refined one,")
    w("' \"AQPPTH_TABLE\" for the table one) for these arguments, in words; \"\" when")
    w("' nothing, and when there is no answer (RudidMessage tells why).")
    w("Public Function RudidCaution(ByVal func As String, ByVal arg1 As Variant, _")
    w("                             Optional ByVal arg2 As Variant) As String")
    w("    Dim why As String, arity As Integer, base As String, refined As Boolean")
    w("    Dim a As Double, b As Double, failed As Variant, flags As Long, words As String")
    w("    NamedFunction func, base, refined, arity")
    w("    If Not CellNumber(arg1, a, failed, why) Then Exit Function")
    w("    If arity = 2 Then")
    w("        If Not CellNumber(arg2, b, failed, why) Then Exit Function")
    w("    End If")
    w("    On Error GoTo NoLibrary")
    w("    LoadRudid")
    w("    flags = RudidVbContextFlags(gContext, base, AnswerOption(refined), a, b)")
    w("    On Error GoTo 0")
    w("    If flags = RUDID_UNKNOWN_FUNCTION Then RudidCaution = \"not a property function: \" & func: Exit Function")
    w("    If flags < 0 Then Exit Function")
    for name, value, comment in flag_codes(header):
        words = CAUTION_WORDS[name] + (f": {comment}" if comment else "")
        w(f'    If flags And {name} Then words = words & "; {words}"')
    w("    If Len(words) > 0 Then RudidCaution = Mid$(words, 3)")
    w("    Exit Function")
    w("NoLibrary:")
    w("    RudidCaution = Err.Description")
    w("End Function")
    for f in functions:
        params = ", ".join(f"ByVal {a} As Variant" for a in f.arguments)
        passed = ", ".join(f.arguments) + (", Empty" if f.arity == 1 else "")
        w("")
        w(f"' {f.name}({', '.join(f.arguments)}): {f.description}, refined")
        w(f"Public Function {f.name}({params}) As Variant")
        w("    Dim why As String")
        w(f'    {f.name} = CellAnswer("{f.name}", {f.arity}, {passed}, why, True)')
        w("End Function")
        w("")
        w(f"' {f.name}_TABLE({', '.join(f.arguments)}): {f.description}, as the table gives it")
        w(f"Public Function {f.name}_TABLE({params}) As Variant")
        w("    Dim why As String")
        w(f'    {f.name}_TABLE = CellAnswer("{f.name}", {f.arity}, {passed}, why, False)')
        w("End Function")
    w("")
    w("' Describes the worksheet functions in Excel's Insert Function dialog (category")
    w("' RUDID32). Run once, for example from Workbook_Open.")
    w("Public Sub RudidDescribeFunctions()")
    for f in functions:
        described = ", ".join(f'"{a} in the unit of default.cfg"' if a != "quality"
                              else '"vapour fraction, 0 to 1"' for a in f.arguments)
        for suffix, kind in (("", "refined answer"), ("_TABLE", "table answer")):
            w(f'    Application.MacroOptions Macro:="{f.name}{suffix}", '
              f'Description:="{f.description} ({kind})", _')
            w(f'        Category:="RUDID32", ArgumentDescriptions:=Array({described})')
    w("End Sub")
    # CRLF line ends: the VBA editor's import expects them.
    return ("\n".join(out) + "\n").replace("\n", "\r\n")


# The Pascal unit -----------------------------------------------------------

PASCAL_TYPES = {
    "int": "LongInt",
    "double": "Double",
    "size_t": "SizeUInt",
    "const char *": "PAnsiChar",
    "char *": "PAnsiChar",
    "const double *": "PDouble",
    "double *": "PDouble",
    "int *": "PLongInt",
    "const int *": "PLongInt",
    "RudidContext *": "Pointer",
    "const RudidContext *": "Pointer",
    "void": None,
}


def pascal_parameter(c_type, name):
    return f"A{name[0].upper()}{name[1:]}: {PASCAL_TYPES[c_type]}"


def pascal_convention(convention):
    if convention == "RUDID_VB_CALL":
        return "{$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}"
    return "cdecl"


def pascal_unit(header):
    functions = property_functions(header)
    out = []
    w = out.append
    w("{ The Pascal unit of RUDID32: water and steam properties from tables.")
    w("")
    w("  Generated by tools/generate_bindings.py from include/rudid32.h; change the")
    w("  header and run the generator, not this file. Calling from Pascal:")
    w("  docs/pascal.md.")
    w("")
    w("  Each property function takes its arguments in the units of the")
    w("  installation's default.cfg and returns a pointer to a Double that holds the")
    w("  property or an error code (RUDID_PRESSURE_OUT_OF_RANGE ...); copy the value")
    w("  before the next call of the same function. A failure (RUDID_FILE_NOT_FOUND,")
    w("  RUDID_FLOATING_POINT_OVERFLOW, ...) gives nil on Linux, with the code in")
    w("  RudidLastError; the Windows DLL raises its exception RUDID_EXCEPTION_CODE")
    w("  instead. The twins RudidVb<name> never fail that way: they return the value")
    w("  and put the outcome in ACode (0, an error code or a failure code). }")
    w("unit rudid32;")
    w("")
    w("{$IFDEF FPC}{$mode objfpc}{$H+}{$ENDIF}")
    w("")
    w("interface")
    w("")
    w("const")
    w("{$IFDEF MSWINDOWS}")
    w("  RudidLibrary = 'RUDID32.dll';")
    w("{$ELSE}")
    w("  RudidLibrary = 'RUDID32';  { libRUDID32.so }")
    w("{$ENDIF}")
    w("")
    w("  { Error codes: the value of a property function for a state outside the")
    w("    tables. Failure codes: RudidLastError, ACode of the twins. }")
    for name, value, comment in named_codes(header):
        note = f"  {{ {comment} }}" if comment else ""
        w(f"  {name} = {value};{note}")
    w("")
    w("  { Status codes of the batch calls; the flags of where an answer is poor;")
    w("    the options of RudidOpen and RudidContextEvaluate. }")
    for name, value, comment in bit_codes(header):
        note = f"  {{ {comment} }}" if comment else ""
        w(f"  {name} = {value if value < 0 else '$%X' % value};{note}")
    w("")
    w("  { Quantity codes of arguments and results. }")
    for name, value in quantity_codes(header):
        w(f"  {name} = {value};")
    exception = re.search(r"#define RUDID_EXCEPTION_CODE 0x([0-9A-Fa-f]+)u", header).group(1)
    w("")
    w("  { The Windows exception of a failure; its first parameter is the code. }")
    w(f"  RUDID_EXCEPTION_CODE = ${exception.upper()};")
    w("")
    w("{ The property functions }")
    for f in functions:
        params = "; ".join(f"A{a.capitalize()}: Double" for a in f.arguments)
        w(f"function {f.name}({params}): PDouble; cdecl; external RudidLibrary name '{f.name}';")
        w(f"  {{ {f.description} }}")
    w("")
    w("{ Their twins, as Visual Basic calls them }")
    for f in functions:
        params = "; ".join(f"A{a.capitalize()}: Double" for a in f.arguments)
        w(f"function RudidVb{f.name}({params}; ACode: PLongInt): Double;")
        w(f"  {pascal_convention('RUDID_VB_CALL')}; external RudidLibrary name 'RudidVb{f.name}';")
    w("")
    w("type")
    w("{$IFNDEF FPC}")
    w("  SizeUInt = NativeUInt;  { Delphi's name of size_t }")
    w("{$ENDIF}")
    w("  { The property functions and their twins by name, for a program that")
    w("    chooses the function at run time. }")
    w("  TRudidProperty1 = function(A: Double): PDouble; cdecl;")
    w("  TRudidProperty2 = function(A, B: Double): PDouble; cdecl;")
    w(f"  TRudidTwin1 = function(A: Double; ACode: PLongInt): Double; {pascal_convention('RUDID_VB_CALL')};")
    w(f"  TRudidTwin2 = function(A, B: Double; ACode: PLongInt): Double; {pascal_convention('RUDID_VB_CALL')};")
    w("  TRudidPropertyFunction = record")
    w("    Name: string[8];")
    w("    Arity: Integer;")
    w("    One: TRudidProperty1;   { nil when Arity is 2 }")
    w("    Two: TRudidProperty2;   { nil when Arity is 1 }")
    w("    TwinOne: TRudidTwin1;")
    w("    TwinTwo: TRudidTwin2;")
    w("  end;")
    w("")
    w("const")
    w(f"  RudidPropertyFunctions: array[0..{len(functions) - 1}] of TRudidPropertyFunction = (")
    rows = []
    for f in functions:
        if f.arity == 1:
            rows.append(f"    (Name: '{f.name}'; Arity: 1; One: @{f.name}; Two: nil; "
                        f"TwinOne: @RudidVb{f.name}; TwinTwo: nil)")
        else:
            rows.append(f"    (Name: '{f.name}'; Arity: 2; One: nil; Two: @{f.name}; "
                        f"TwinOne: nil; TwinTwo: @RudidVb{f.name})")
    w(",\n".join(rows) + ");")
    w("")
    w("{ Batch evaluation, self-description and diagnostics (see include/rudid32.h) }")
    for result, name, params, convention in prototypes(header):
        parameters = "; ".join(pascal_parameter(t, n) for t, n in params)
        signature = f"({parameters})" if parameters else ""
        if result == "void":
            w(f"procedure {name}{signature};")
        else:
            w(f"function {name}{signature}: {PASCAL_TYPES[result]};")
        w(f"  {pascal_convention(convention)}; external RudidLibrary name '{name}';")
    w("")
    w("implementation")
    w("")
    w("end.")
    return "\n".join(out) + "\n"


def main():
    header = HEADER.read_text()
    outputs = {VBA_MODULE: vba_module(header), PASCAL_UNIT: pascal_unit(header)}
    check = "--check" in sys.argv[1:]
    stale = []
    for path, text in outputs.items():
        current = path.read_bytes().decode() if path.exists() else None
        if current == text:
            continue
        if check:
            stale.append(str(path.relative_to(ROOT)))
        else:
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(text.encode())
            print(f"wrote {path.relative_to(ROOT)}")
    if stale:
        print("out of date with include/rudid32.h (run tools/generate_bindings.py): " + ", ".join(stale))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
