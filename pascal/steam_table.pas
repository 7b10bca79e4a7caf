{ A few properties of water and steam from RUDID32, with the three kinds of
  answer a program meets: a property, a state outside the tables (an error
  code) and a failure. The answers are the refined ones, from a context:
  the table answers of the 23 functions (AQPPTH(6.3, 161) and the like) can
  be far off next to the saturation line; they are shown once beside the
  refined answer for comparison.

    fpc -Fu<this folder> -Fl<folder of libRUDID32.so> steam_table.pas }
program steam_table;

{$mode objfpc}{$H+}

uses
  SysUtils, rudid32;

{ The unit of a function's argument or result, as default.cfg configures it. }
function UnitOf(Quantity: LongInt): string;
begin
  Result := string(RudidConfiguredUnit(Quantity));
end;

{ Prints what a property function answered for the arguments shown. }
procedure Show(const Name, Arguments: string; Answer: PDouble);
var
  Index, Code: LongInt;
  Value: Double;
begin
  Index := RudidFunctionIndex(PAnsiChar(Name));
  if Answer = nil then
  begin
    WriteLn(Name, '(', Arguments, '): failed, ', RudidLastErrorMessage);
    Exit;
  end;
  Value := Answer^;  { copied before the next call of the same function }
  Code := RudidRangeCode(Value);
  if Code <> 0 then
    WriteLn(Name, '(', Arguments, '): no value, ', RudidRangeMessage(Index, Code))
  else
    WriteLn(Name, '(', Arguments, ') = ', FormatFloat('0.######', Value), ' ',
            UnitOf(RudidFunctionResult(Index)), '  (', RudidFunctionDescription(Index), ')');
end;

{ The words of a flag's bits, "" for none. }
function Cautions(Flags: LongInt): string;
begin
  Result := '';
  if Flags and RUDID_FLAG_MIXED_PHASE_CELL <> 0 then Result := Result + ' mixed-phase cell;';
  if Flags and RUDID_FLAG_NEAR_SATURATION <> 0 then Result := Result + ' near saturation;';
  if Flags and RUDID_FLAG_CRITICAL_REGION <> 0 then Result := Result + ' critical region;';
  if Flags and RUDID_FLAG_COARSE_GRID <> 0 then Result := Result + ' coarse grid;';
  if Flags and RUDID_FLAG_ILL_POSED <> 0 then Result := Result + ' two states share this value;';
end;

{ The refined answer of a function in the context, with its cautions. }
procedure ShowRefined(Context: Pointer; const Name, Arguments: string; A, B: Double);
var
  Value: Double;
  Failure, Flags: LongInt;
begin
  if RudidContextEvaluate(Context, PAnsiChar(Name), 0, 1, @A, @B, @Value, @Failure, @Flags) <> 0 then
    WriteLn(Name, '(', Arguments, '): failed, ', RudidContextMessage(Context))
  else if RudidRangeCode(Value) <> 0 then
    WriteLn(Name, '(', Arguments, '): no value, ',
            RudidRangeMessage(RudidFunctionIndex(PAnsiChar(Name)), RudidRangeCode(Value)))
  else
    WriteLn(Name, '(', Arguments, ') = ', FormatFloat('0.######', Value), ' ',
            UnitOf(RudidFunctionResult(RudidFunctionIndex(PAnsiChar(Name)))), Cautions(Flags));
end;

var
  Code: LongInt;
  Value: Double;
  Context: Pointer;
begin
  WriteLn('RUDID32 ', RudidVersion, ', tables in ', RudidDataDirectory);
  Context := RudidOpen(nil, nil, RUDID_REFINED);
  if Context = nil then
  begin
    WriteLn('no context: ', RudidContextMessage(nil));
    Halt(1);
  end;
  ShowRefined(Context, 'AQPPT', '1.01325 bar', 1.01325, 0);
  ShowRefined(Context, 'AQPPTH', '10 bar, 150 C', 10, 150);
  ShowRefined(Context, 'AQPPTH', '6.3 bar, 161 C', 6.3, 161);
  ShowRefined(Context, 'AQPPHT', '10 bar, 2800 kJ/kg', 10, 2800);
  ShowRefined(Context, 'AQPPQH', '5 bar, quality 0.9', 5, 0.9);
  ShowRefined(Context, 'AQPPT', '300 bar', 300, 0);
  RudidClose(Context);

  { The 23 functions give the table answers, as hosts have always had them. }
  Show('AQPPTH', '6.3 bar, 161 C, table', AQPPTH(6.3, 161));

  { The twins never fail with nil: the outcome comes as a code. }
  Value := RudidVbAQPPTH(1e39, 150, @Code);
  if Code = RUDID_FLOATING_POINT_OVERFLOW then
    WriteLn('RudidVbAQPPTH(1e39 bar, 150 C): code ', Code, ', ', RudidFailureMessage(Code))
  else
    WriteLn('RudidVbAQPPTH(1e39 bar, 150 C) = ', Value, ' with code ', Code);
end.
