{ A few properties of water and steam from RUDID32, with the three kinds of
  answer a program meets: a property, a state outside the tables (an error
  code) and a failure.

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

var
  Code: LongInt;
  Value: Double;
begin
  WriteLn('RUDID32 ', RudidVersion, ', tables in ', RudidDataDirectory);
  Show('AQPPT', '1.01325 bar', AQPPT(1.01325));
  Show('AQPPTH', '10 bar, 150 C', AQPPTH(10, 150));
  Show('AQPPHT', '10 bar, 2800 kJ/kg', AQPPHT(10, 2800));
  Show('AQPPQH', '5 bar, quality 0.9', AQPPQH(5, 0.9));
  Show('AQPPT', '300 bar', AQPPT(300));

  { The twins never fail with nil: the outcome comes as a code. }
  Value := RudidVbAQPPTH(1e39, 150, @Code);
  if Code = RUDID_FLOATING_POINT_OVERFLOW then
    WriteLn('RudidVbAQPPTH(1e39 bar, 150 C): code ', Code, ', ', RudidFailureMessage(Code))
  else
    WriteLn('RudidVbAQPPTH(1e39 bar, 150 C) = ', Value, ' with code ', Code);
end.
