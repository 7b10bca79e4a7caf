#!/bin/bash
# Checks the PE headers of RUDID32.dll: a DLL of the expected machine
# (pei-i386 for the 32-bit DLL, pei-x86-64 for the 64-bit one) whose export
# table holds exactly the expected names at their ordinals, the same in both,
# and which imports from system DLLs only (the GCC, C++ and thread runtimes
# are linked in).
#
#   check_exports.sh OBJDUMP RUDID32.dll [FORMAT]     (FORMAT default pei-i386)
set -u
if [ $# -ne 2 ] && [ $# -ne 3 ]; then
    echo "usage: $0 OBJDUMP RUDID32.dll [pei-i386|pei-x86-64]" >&2
    exit 2
fi
objdump=$1
dll=$2
expected_format=${3:-pei-i386}

expected="1 AQPPT
2 AQPTP
3 AQPTQH
4 AQPTQS
5 AQPTQV
6 AQPPQH
7 AQPPQS
8 AQPPQV
9 AQPPTH
10 AQPPTS
11 AQPPTV
12 AQPPHT
13 AQPPHS
14 AQPPHV
15 AQPPHQ
16 AQPPST
17 AQPPSH
18 AQPPSV
19 AQPPSQ
20 AQPPVT
21 AQPPVH
22 AQPPVS
23 AQPPVQ
24 RudidLastError
25 RudidLastErrorMessage
26 RudidStartupMessage
27 RudidEvaluate
28 RudidDataDirectory
29 RudidStateFlags
30 RudidVersion
31 RudidFunctionCount
32 RudidFunctionIndex
33 RudidFunctionName
34 RudidFunctionArity
35 RudidFunctionDescription
36 RudidFunctionArgument
37 RudidFunctionResult
38 RudidQuantityName
39 RudidInternalUnit
40 RudidUnitCount
41 RudidUnitName
42 RudidUnitSelectionWord
43 RudidConfiguredUnit
44 RudidToConfiguredUnit
45 RudidFromConfiguredUnit
46 RudidRangeCode
47 RudidRangeMessage
48 RudidFailureMessage
49 RudidEvaluateWithFlags
50 RudidEvaluateRefined
51 RudidRefinedFlags
52 RudidOpen
53 RudidClose
54 RudidContextEvaluate
55 RudidContextMessage
56 RudidContextUnit
57 RudidContextDirectory
58 RudidContextConvert
59 RudidSolveStates
60 RudidPhaseName
61 RudidContextRangeMessage
62 RudidSolveProperties
63 RudidContextProperty
64 RudidPropertyName
65 RudidPropertySymbol
66 RudidPropertyQuantity
67 RudidPropertyIndex
68 RudidDeriveStates
69 RudidFlagName
100 RudidVbMessage
101 RudidVbAQPPT
102 RudidVbAQPTP
103 RudidVbAQPTQH
104 RudidVbAQPTQS
105 RudidVbAQPTQV
106 RudidVbAQPPQH
107 RudidVbAQPPQS
108 RudidVbAQPPQV
109 RudidVbAQPPTH
110 RudidVbAQPPTS
111 RudidVbAQPPTV
112 RudidVbAQPPHT
113 RudidVbAQPPHS
114 RudidVbAQPPHV
115 RudidVbAQPPHQ
116 RudidVbAQPPST
117 RudidVbAQPPSH
118 RudidVbAQPPSV
119 RudidVbAQPPSQ
120 RudidVbAQPPVT
121 RudidVbAQPPVH
122 RudidVbAQPPVS
123 RudidVbAQPPVQ
130 RudidVbOpen
131 RudidVbClose
132 RudidVbContextEvaluate
133 RudidVbContextFlags
134 RudidVbContextMessage
135 RudidVbSolveState
136 RudidVbContextProperty"

# DLLs that every Windows installation has.
system_dlls="kernel32.dll msvcrt.dll user32.dll advapi32.dll ntdll.dll"

headers=$("$objdump" -p "$dll") || exit 2
passed=0
failed=0
check() {  # check NAME CONDITION-STATUS DETAILS
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "ok - $1"
    else
        failed=$((failed + 1))
        echo "not ok - $1"
        printf '%s\n' "$3" | sed 's/^/    /'
    fi
}

format=$("$objdump" -f "$dll" | sed -n 's/.*file format //p')
[ "$format" = "$expected_format" ]
check "$expected_format DLL (file format $format)" $? ""

# objdump lists the characteristic flags one per line, indented by a tab.
printf '%s\n' "$headers" | grep -qx "$(printf '\tDLL')"
check "the image is a DLL" $? ""

# The name table: lines "[   n] NAME" after "[Ordinal/Name Pointer] Table"
# give the ordinal (base 1) as n + 1.
actual=$(printf '%s\n' "$headers" |
    awk '/\[Ordinal\/Name Pointer\] Table/ { names = 1; next }
         names && /^[ \t]*\[ *[0-9]+\] [A-Za-z_]/ { gsub(/[\[\]]/, " "); print $1 + 1, $2; next }
         names && !/^[ \t]*\[/ { names = 0 }' | sort -n)
differences=$(diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual"))
check "exports by name and ordinal" $? "$differences"

module=$(printf '%s\n' "$headers" | awk '/^Name[ \t]/ { print $3; exit }')
[ "$module" = RUDID32.dll ]
check "export directory names the module RUDID32.dll" $? "Name $module"

base=$(printf '%s\n' "$headers" | awk '/^Ordinal Base/ { print $3 }')
[ "$base" = 1 ]
check "ordinal base 1" $? "Ordinal Base $base"

imports=$(printf '%s\n' "$headers" | awk '/DLL Name:/ { print tolower($3) }' | sort -u)
foreign=""
for dll_name in $imports; do
    case " $system_dlls " in *" $dll_name "*) ;; *) foreign="$foreign $dll_name" ;; esac
done
[ -z "$foreign" ] && [ -n "$imports" ]
check "imports system DLLs only ($(echo $imports))" $? "not a system DLL:$foreign"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
