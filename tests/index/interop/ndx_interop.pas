{ A second, independent reader and writer of record files and their NDX
  indexes, for the interoperability tests: the dBASE component of Free
  Pascal's class library.

    ndx_interop build DIR KEYS   creates DIR/t.dbf with one character field KEY
                                 holding the lines of the file KEYS (one record
                                 each, in order), builds DIR/t.ndx on KEY, and
                                 prints the record numbers in index order.
    ndx_interop walk DIR NDX     opens DIR/t.dbf with the index file DIR/NDX and
                                 prints the record numbers in that index's order.

  Record numbers are printed one per line. }
program ndx_interop;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, db, dbf;

procedure PrintOrder(T: TDbf);
begin
  T.First;
  while not T.EOF do
  begin
    WriteLn(T.PhysicalRecNo);
    T.Next;
  end;
end;

procedure Build(const Dir, KeyFile: string);
var
  Keys: TStringList;
  T: TDbf;
  I, Width: Integer;
begin
  Keys := TStringList.Create;
  Keys.LoadFromFile(KeyFile);
  Width := 1;
  for I := 0 to Keys.Count - 1 do
    if Length(Keys[I]) > Width then Width := Length(Keys[I]);
  T := TDbf.Create(nil);
  try
    T.FilePathFull := Dir;
    T.TableName := 't.dbf';
    T.TableLevel := 3;
    T.FieldDefs.Add('KEY', ftString, Width);
    T.CreateTable;
    T.Exclusive := True;
    T.Open;
    for I := 0 to Keys.Count - 1 do
    begin
      T.Append;
      T.FieldByName('KEY').AsString := Keys[I];
      T.Post;
    end;
    T.AddIndex('t.ndx', 'KEY', []);
    T.IndexName := 't.ndx';
    PrintOrder(T);
    T.Close;
  finally
    T.Free;
    Keys.Free;
  end;
end;

procedure Walk(const Dir, IndexFile: string);
var
  T: TDbf;
begin
  T := TDbf.Create(nil);
  try
    T.FilePathFull := Dir;
    T.TableName := 't.dbf';
    T.TableLevel := 3;
    T.ReadOnly := True;
    T.Open;
    T.OpenIndexFile(IndexFile);
    T.IndexName := IndexFile;
    PrintOrder(T);
    T.Close;
  finally
    T.Free;
  end;
end;

begin
  if (ParamCount = 3) and (ParamStr(1) = 'build') then
    Build(IncludeTrailingPathDelimiter(ParamStr(2)), ParamStr(3))
  else if (ParamCount = 3) and (ParamStr(1) = 'walk') then
    Walk(IncludeTrailingPathDelimiter(ParamStr(2)), ParamStr(3))
  else
  begin
    WriteLn(StdErr, 'usage: ndx_interop build DIR KEYS | walk DIR NDX');
    Halt(2);
  end;
end.
