{ The Free Pascal side of the form-data interoperability test. Its classes
  mirror those of InteropComponents.h property for property.

    FormPeer write CASE OUT    writes test form CASE
    FormPeer reread IN OUT     reads IN into a new root and writes it again
    FormPeer totext IN OUT     ObjectBinaryToText
    FormPeer tobinary IN OUT   ObjectTextToBinary
    FormPeer dump IN           reads IN and prints the values it got
    FormPeer typecask FAMILY DATA PERMANENT OUT
                               writes a form with one TTypecask as the designer
                               saves it: FAMILY, InstallPermanently (0 or 1),
                               and the file DATA as TrueTypeFontResource }
program FormPeer;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils;

type
  TTestKind = (kdNone, kdOne, kdTwo);
  TTestOption = (opA, opB, opC);
  TTestOptions = set of TTestOption;

  TTestFontName = class(TPersistent)
  private
    FTTFontName: string;
  published
    property TTFontName: string read FTTFontName write FTTFontName;
  end;

  TTestFontHolder = class(TComponent)
  private
    FPermanent: Boolean;
    FFontName: TTestFontName;
    FCount: Integer;
    FBig: Int64;
    FKind: TTestKind;
    FOptions: TTestOptions;
    FCaption: string;
    FItems: TStrings;
    FOnChange: TNotifyEvent;
    FFontData: TMemoryStream;
    procedure SetFontName(Value: TTestFontName);
    procedure SetItems(Value: TStrings);
    procedure ReadFontData(Stream: TStream);
    procedure WriteFontData(Stream: TStream);
  protected
    procedure DefineProperties(Filer: TFiler); override;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
    procedure SetFontData(Size: Integer);
  published
    property Permanent: Boolean read FPermanent write FPermanent default True;
    property FontName: TTestFontName read FFontName write SetFontName;
    property Count: Integer read FCount write FCount default 0;
    property Big: Int64 read FBig write FBig;
    property Kind: TTestKind read FKind write FKind default kdNone;
    property Options: TTestOptions read FOptions write FOptions;
    property Caption: string read FCaption write FCaption;
    property Items: TStrings read FItems write SetItems;
    property OnChange: TNotifyEvent read FOnChange write FOnChange;
  end;

  { The component's persistent side as the designer streams it. }
  TTypecaskFontName = class(TPersistent)
  private
    FTTFontName: string;
  published
    property TTFontName: string read FTTFontName write FTTFontName;
  end;

  TTypecask = class(TComponent)
  private
    FPermanent: Boolean;
    FFontName: TTypecaskFontName;
    FResource: TMemoryStream;
    procedure SetFontName(Value: TTypecaskFontName);
    procedure WriteResource(Stream: TStream);
  protected
    procedure DefineProperties(Filer: TFiler); override;
  public
    constructor Create(AOwner: TComponent); override;
    destructor Destroy; override;
  published
    property InstallPermanently: Boolean read FPermanent write FPermanent default True;
    property TypecaskName: TTypecaskFontName read FFontName write SetFontName;
  end;

  TTestRoot = class(TComponent)
  protected
    procedure GetChildren(Proc: TGetChildProc; Root: TComponent); override;
  published
    procedure HolderChange(Sender: TObject);
  end;

constructor TTestFontHolder.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FPermanent := True;
  FFontName := TTestFontName.Create;
  FItems := TStringList.Create;
end;

destructor TTestFontHolder.Destroy;
begin
  FFontData.Free;
  FItems.Free;
  FFontName.Free;
  inherited Destroy;
end;

procedure TTestFontHolder.SetFontName(Value: TTestFontName);
begin
  FFontName.TTFontName := Value.TTFontName;
end;

procedure TTestFontHolder.SetItems(Value: TStrings);
begin
  FItems.Assign(Value);
end;

{ Size bytes of a pattern that both sides compute the same way; -1 for none. }
procedure TTestFontHolder.SetFontData(Size: Integer);
var
  I: Integer;
  B: Byte;
begin
  FreeAndNil(FFontData);
  if Size < 0 then Exit;
  FFontData := TMemoryStream.Create;
  for I := 0 to Size - 1 do
  begin
    B := Byte((I * 31 + (I shr 7)) and $FF);
    FFontData.Write(B, 1);
  end;
end;

procedure TTestFontHolder.ReadFontData(Stream: TStream);
begin
  FreeAndNil(FFontData);
  FFontData := TMemoryStream.Create;
  FFontData.CopyFrom(Stream, Stream.Size - Stream.Position);
end;

procedure TTestFontHolder.WriteFontData(Stream: TStream);
begin
  FFontData.Position := 0;
  if FFontData.Size > 0 then
    Stream.CopyFrom(FFontData, FFontData.Size);
end;

procedure TTestFontHolder.DefineProperties(Filer: TFiler);
begin
  inherited DefineProperties(Filer);
  Filer.DefineBinaryProperty('FontData', @ReadFontData, @WriteFontData, FFontData <> nil);
end;

constructor TTypecask.Create(AOwner: TComponent);
begin
  inherited Create(AOwner);
  FPermanent := True;
  FFontName := TTypecaskFontName.Create;
  FResource := TMemoryStream.Create;
end;

destructor TTypecask.Destroy;
begin
  FResource.Free;
  FFontName.Free;
  inherited Destroy;
end;

procedure TTypecask.SetFontName(Value: TTypecaskFontName);
begin
  FFontName.TTFontName := Value.TTFontName;
end;

procedure TTypecask.WriteResource(Stream: TStream);
begin
  FResource.Position := 0;
  Stream.CopyFrom(FResource, FResource.Size);
end;

procedure TTypecask.DefineProperties(Filer: TFiler);
begin
  inherited DefineProperties(Filer);
  Filer.DefineBinaryProperty('TrueTypeFontResource', nil, @WriteResource, FResource.Size > 0);
end;

procedure TTestRoot.GetChildren(Proc: TGetChildProc; Root: TComponent);
var
  I: Integer;
begin
  for I := 0 to ComponentCount - 1 do
    Proc(Components[I]);
end;

procedure TTestRoot.HolderChange(Sender: TObject);
begin
end;

function MakeCase(N: Integer): TTestRoot;
var
  H: TTestFontHolder;
  I: Integer;
  S: string;
begin
  Result := TTestRoot.Create(nil);
  Result.Name := 'TestRoot';
  H := TTestFontHolder.Create(Result);
  H.Name := 'Holder1';
  case N of
    0: ;
    1:
      begin
        H.Permanent := False;
        H.FontName.TTFontName := 'DejaVu Sans';
        H.SetFontData(0);
      end;
    2:
      begin
        H.Permanent := False;
        H.FontName.TTFontName := 'Noto Sans '#$C3#$A9' it''s';
        H.SetFontData(300000);
        H.Count := -70000;
        H.Big := 5000000000;
        H.Kind := kdTwo;
        H.Options := [opA, opC];
        S := '';
        for I := 1 to 300 do
          S := S + Chr(Ord('a') + I mod 26);
        H.Caption := S + ''''#9;
        H.Items.Add('first');
        H.Items.Add('second line');
        H.Items.Add('');
        H.OnChange := @Result.HolderChange;
        H.Tag := 7;
        H := TTestFontHolder.Create(Result);
        H.Name := 'Holder2';
        H.Count := 200;
        H.Big := -5;
        H.Kind := kdOne;
        H.Options := [opB];
        H.SetFontData(1);
      end;
    3:
      begin
        H.Count := 128;
        H.Big := 40000;
        H.Tag := -129;
        H.Caption := 'x';
      end;
  end;
end;

procedure WriteRoot(Root: TComponent; const FileName: string);
var
  S: TFileStream;
begin
  S := TFileStream.Create(FileName, fmCreate);
  try
    S.WriteComponent(Root);
  finally
    S.Free;
  end;
end;

procedure WriteTypecaskForm(const Family, DataFile: string; Permanent: Boolean; const FileName: string);
var
  Root: TTestRoot;
  T: TTypecask;
begin
  Root := TTestRoot.Create(nil);
  try
    Root.Name := 'Form1';
    T := TTypecask.Create(Root);
    T.Name := 'Typecask1';
    T.InstallPermanently := Permanent;
    T.TypecaskName.TTFontName := Family;
    T.FResource.LoadFromFile(DataFile);
    WriteRoot(Root, FileName);
  finally
    Root.Free;
  end;
end;

function ReadRoot(const FileName: string): TTestRoot;
var
  S: TFileStream;
begin
  Result := TTestRoot.Create(nil);
  S := TFileStream.Create(FileName, fmOpenRead);
  try
    S.ReadComponent(Result);
  finally
    S.Free;
  end;
end;

procedure Convert(ToText: Boolean; const InName, OutName: string);
var
  I, O: TFileStream;
begin
  I := TFileStream.Create(InName, fmOpenRead);
  O := TFileStream.Create(OutName, fmCreate);
  try
    if ToText then
      ObjectBinaryToText(I, O)
    else
      ObjectTextToBinary(I, O);
  finally
    O.Free;
    I.Free;
  end;
end;

var
  Root: TTestRoot;
begin
  RegisterClasses([TTestRoot, TTestFontHolder]);
  if ParamStr(1) = 'write' then
  begin
    Root := MakeCase(StrToInt(ParamStr(2)));
    WriteRoot(Root, ParamStr(3));
    Root.Free;
  end
  else if ParamStr(1) = 'reread' then
  begin
    Root := ReadRoot(ParamStr(2));
    WriteRoot(Root, ParamStr(3));
    Root.Free;
  end
  else if ParamStr(1) = 'typecask' then
    WriteTypecaskForm(ParamStr(2), ParamStr(3), ParamStr(4) = '1', ParamStr(5))
  else if ParamStr(1) = 'totext' then
    Convert(True, ParamStr(2), ParamStr(3))
  else if ParamStr(1) = 'tobinary' then
    Convert(False, ParamStr(2), ParamStr(3))
  else
  begin
    WriteLn(StdErr, 'usage: FormPeer write CASE OUT | reread IN OUT | typecask FAMILY DATA PERMANENT OUT | totext IN OUT | tobinary IN OUT');
    Halt(2);
  end;
end.
