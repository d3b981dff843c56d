{ Walks a dBASE III index file through Free Pascal's TDbf and prints the
  physical record number of every record in index order, one per line.
  Usage: builder_walk RECORDFILE INDEXFILE }
program builder_walk;

{$mode objfpc}{$H+}

uses
  SysUtils, db, dbf;

var
  table: TDbf;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: builder_walk RECORDFILE INDEXFILE');
    Halt(2);
  end;
  table := TDbf.Create(nil);
  try
    try
      table.FilePathFull := ExtractFilePath(ExpandFileName(ParamStr(1)));
      table.TableName := ExtractFileName(ParamStr(1));
      table.ReadOnly := True;
      table.ShowDeleted := True;  { deleted records are indexed too }
      table.Open;
      table.OpenIndexFile(ParamStr(2));
      table.IndexName := ExtractFileName(ParamStr(2));
      table.First;
      while not table.EOF do
      begin
        WriteLn(table.PhysicalRecNo);
        table.Next;
      end;
      table.Close;
    except
      on e: Exception do
      begin
        WriteLn(StdErr, 'builder_walk: ', e.Message);
        Halt(1);
      end;
    end;
  finally
    table.Free;
  end;
end.
