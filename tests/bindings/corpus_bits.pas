{ Runs a call corpus through the Pascal unit and prints the exact bits of
  every answer, for comparison with the C program linux_corpus:

    corpus_bits CORPUS

  CORPUS lines: NAME ARG [ARG] with each argument as 0x and the 16 hex digits
  of a double (the decimals of the shared corpus are turned into bits before,
  so that no decimal conversion of either language takes part). Output:
  NAME ARG [ARG] => 0x<16 hex digits>, or => FAIL <code> <message>; then
  the refined answer of every line (RudidEvaluateRefined, one row a call),
  "refined NAME ARG [ARG] => ..." as linux_corpus prints it (a failure
  without a message).

  Every call goes through the unit's declaration of the property function
  and of its twin: the twin must give the same bits, the matching code, and
  on a failure a NaN with the failure code. Problems go to stderr and the
  exit status. The program keeps Free Pascal's own floating-point
  environment (invalid operation, division by zero and overflow unmasked):
  the library must leave it as it found it. }
program corpus_bits;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils, Math, rudid32;

var
  Problems: Integer = 0;

procedure Fail(const Text: string);
begin
  Inc(Problems);
  if Problems <= 20 then WriteLn(StdErr, 'FAILED: ', Text);
end;

function BitsOf(Value: Double): QWord;
begin
  Move(Value, Result, SizeOf(Result));
end;

function DoubleOf(Bits: QWord): Double;
begin
  Move(Bits, Result, SizeOf(Result));
end;

function Hex(Bits: QWord): string;
begin
  Result := '0x' + LowerCase(IntToHex(Bits, 16));
end;

function FindFunction(const Name: string): Integer;
var
  I: Integer;
begin
  for I := Low(RudidPropertyFunctions) to High(RudidPropertyFunctions) do
    if RudidPropertyFunctions[I].Name = Name then Exit(I);
  Result := -1;
end;

{ One corpus line: the output line, with the twin checked against it. }
function Run(const Line: string): string;
var
  Words: TStringArray;
  F, Code, I: Integer;
  Args: array[0..1] of Double;
  Answer: PDouble;
  AnswerBits, TwinBits: QWord;
  Twin: Double;
  TwinCode: LongInt;
  ControlWord: Word;
  Mxcsr: LongWord;
begin
  Words := Line.Split([' '], TStringSplitOptions.ExcludeEmpty);
  F := FindFunction(Words[0]);
  if (F < 0) or (Length(Words) <> RudidPropertyFunctions[F].Arity + 1) then
  begin
    Fail('not a call: ' + Line);
    Exit('');
  end;
  Args[1] := 0;
  for I := 1 to High(Words) do
    Args[I - 1] := DoubleOf(StrToQWord('$' + Copy(Words[I], 3, 16)));

  ControlWord := Get8087CW;
  Mxcsr := GetMXCSR;
  with RudidPropertyFunctions[F] do
    if Arity = 1 then
    begin
      Answer := One(Args[0]);
      Twin := TwinOne(Args[0], @TwinCode);
    end
    else
    begin
      Answer := Two(Args[0], Args[1]);
      Twin := TwinTwo(Args[0], Args[1], @TwinCode);
    end;
  if (Get8087CW <> ControlWord) or (GetMXCSR <> Mxcsr) then
    Fail(Format('%s: x87 word %x, MXCSR %x after the call, before %x, %x',
                [Line, Get8087CW, GetMXCSR, ControlWord, Mxcsr]));
  TwinBits := BitsOf(Twin);

  if Answer = nil then
  begin
    Code := RudidLastError;
    Result := Format('%s => FAIL %d %s', [Line, Code, string(RudidLastErrorMessage)]);
    if (TwinCode <> Code) or not IsNan(Twin) then
      Fail(Format('%s: the twin gave code %d and %s', [Line, TwinCode, Hex(TwinBits)]));
    Exit;
  end;
  AnswerBits := PQWord(Answer)^;
  Result := Line + ' => ' + Hex(AnswerBits);
  if TwinBits <> AnswerBits then
    Fail(Format('%s: the twin gave %s', [Line, Hex(TwinBits)]));
  if TwinCode <> RudidRangeCode(DoubleOf(AnswerBits)) then
    Fail(Format('%s: the twin gave code %d', [Line, TwinCode]));
end;

{ The refined answer of one corpus line, through the unit's declaration of
  RudidEvaluateRefined. }
function RunRefined(const Line: string): string;
var
  Words: TStringArray;
  I: Integer;
  Args: array[0..1] of Double;
  Answer: Double;
  Failure: LongInt;
  ControlWord: Word;
  Mxcsr: LongWord;
begin
  Words := Line.Split([' '], TStringSplitOptions.ExcludeEmpty);
  Args[1] := 0;
  for I := 1 to High(Words) do
    Args[I - 1] := DoubleOf(StrToQWord('$' + Copy(Words[I], 3, 16)));
  Failure := -1;
  ControlWord := Get8087CW;
  Mxcsr := GetMXCSR;
  if RudidEvaluateRefined(PAnsiChar(AnsiString(Words[0])), 1, @Args[0], @Args[1], @Answer, @Failure) < 0 then
    Fail('RudidEvaluateRefined refused ' + Line);
  if (Get8087CW <> ControlWord) or (GetMXCSR <> Mxcsr) then
    Fail(Format('refined %s: x87 word %x, MXCSR %x after the call, before %x, %x',
                [Line, Get8087CW, GetMXCSR, ControlWord, Mxcsr]));
  if Failure <> 0 then
    Result := Format('refined %s => FAIL %d ', [Line, Failure])
  else
    Result := 'refined ' + Line + ' => ' + Hex(BitsOf(Answer));
end;

var
  Corpus: TextFile;
  Line: string;
  Calls: TStringList;
begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'usage: corpus_bits CORPUS');
    Halt(2);
  end;
  Calls := TStringList.Create;
  AssignFile(Corpus, ParamStr(1));
  Reset(Corpus);
  while not Eof(Corpus) do
  begin
    ReadLn(Corpus, Line);
    Line := Trim(Line);
    if (Line = '') or (Line[1] = '#') then Continue;
    Line := Run(Line);
    WriteLn(Line);
    if Line <> '' then Calls.Add(Copy(Line, 1, Pos(' => ', Line) - 1));
  end;
  CloseFile(Corpus);
  for Line in Calls do WriteLn(RunRefined(Line));
  Calls.Free;
  WriteLn(StdErr, 'corpus_bits: ', Problems, ' problem(s)');
  if Problems > 0 then Halt(1);
end.
