// The TrueType writer. The file holds the tables head, hhea, maxp, OS/2,
// hmtx, cmap (format 4), loca (long offsets), glyf, name and post (version
// 3, no glyph names), each 4-byte aligned with its checksum, and the whole
// file's checksum adjustment in head.
#include "tools/fontgen/FontGen.h"

#include <algorithm>
#include <array>
#include <map>

#include "platform/Streams.h"
#include "platform/TextConv.h"

namespace FontGen {

namespace {

// ---------------------------------------------------------------- shapes

struct TShape {
    char Code;
    std::array<const char*, 7> Rows;  // top row first, '#' marks a filled cell
};

// clang-format off
const TShape Shapes[] = {
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
    {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".####", "#....", "#....", "#....", "#....", "#....", ".####"}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".####", "#....", "#....", "#..##", "#...#", "#...#", ".###."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
};
// clang-format on

struct TPoint {
    int X, Y;
};
using TContour = std::vector<TPoint>;

struct TGlyph {
    std::vector<TContour> Contours;
    int Advance = 0;
    int XMin = 0, YMin = 0, XMax = 0, YMax = 0;
};

// A clockwise (filled) rectangle, y pointing up.
TContour Rectangle(int X0, int Y0, int X1, int Y1) { return {{X0, Y0}, {X0, Y1}, {X1, Y1}, {X1, Y0}}; }

// The filled cells of a shape as rectangles: runs of a row, merged with the
// same run of the rows below.
TGlyph ShapeGlyph(const TShape& Shape, int Cell, int Advance) {
    struct TRun {
        int C0, C1, Top, Bottom;  // columns [C0, C1), rows [Top, Bottom]
    };
    std::vector<TRun> Runs;
    for (int R = 0; R < 7; ++R) {
        const char* Row = Shape.Rows[static_cast<std::size_t>(R)];
        for (int C = 0; C < 5;) {
            if (Row[C] != '#') {
                ++C;
                continue;
            }
            int End = C;
            while (End < 5 && Row[End] == '#') ++End;
            auto It = std::find_if(Runs.begin(), Runs.end(),
                                   [&](const TRun& Run) { return Run.C0 == C && Run.C1 == End && Run.Bottom == R - 1; });
            if (It != Runs.end())
                It->Bottom = R;
            else
                Runs.push_back({C, End, R, R});
            C = End;
        }
    }
    TGlyph G;
    G.Advance = Advance;
    const int Left = Cell / 2;
    for (const auto& Run : Runs)
        G.Contours.push_back(
            Rectangle(Left + Run.C0 * Cell, (6 - Run.Bottom) * Cell, Left + Run.C1 * Cell, (7 - Run.Top) * Cell));
    return G;
}

// The missing-glyph box: an outline with a counter-clockwise hole.
TGlyph NotdefGlyph(int Cell, int Advance) {
    const int X0 = Cell / 2, X1 = X0 + 5 * Cell, Y1 = 7 * Cell, W = std::max(1, Cell / 2);
    TGlyph G;
    G.Advance = Advance;
    G.Contours.push_back(Rectangle(X0, 0, X1, Y1));
    G.Contours.push_back({{X0 + W, W}, {X1 - W, W}, {X1 - W, Y1 - W}, {X0 + W, Y1 - W}});
    return G;
}

void Bounds(TGlyph& G) {
    if (G.Contours.empty()) return;
    G.XMin = G.YMin = 1 << 30;
    G.XMax = G.YMax = -(1 << 30);
    for (const auto& C : G.Contours)
        for (const auto& P : C) {
            G.XMin = std::min(G.XMin, P.X);
            G.YMin = std::min(G.YMin, P.Y);
            G.XMax = std::max(G.XMax, P.X);
            G.YMax = std::max(G.YMax, P.Y);
        }
}

// ------------------------------------------------------------- encoding

class TBuffer {
public:
    void U8(unsigned V) { FBytes.push_back(static_cast<std::uint8_t>(V)); }
    void U16(unsigned V) {
        U8((V >> 8) & 0xFF);
        U8(V & 0xFF);
    }
    void S16(int V) { U16(static_cast<unsigned>(V) & 0xFFFF); }
    void U32(std::uint32_t V) {
        U16(V >> 16);
        U16(V & 0xFFFF);
    }
    void S64(std::int64_t V) {
        U32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(V) >> 32));
        U32(static_cast<std::uint32_t>(V));
    }
    void Tag(const char* T) {
        for (int I = 0; I < 4; ++I) U8(static_cast<unsigned char>(T[I]));
    }
    void Bytes(const std::vector<std::uint8_t>& B) { FBytes.insert(FBytes.end(), B.begin(), B.end()); }
    void Align4() {
        while (FBytes.size() % 4) U8(0);
    }
    void PutU32At(std::size_t Offset, std::uint32_t V) {
        for (int I = 0; I < 4; ++I) FBytes[Offset + static_cast<std::size_t>(I)] = static_cast<std::uint8_t>(V >> (24 - 8 * I));
    }
    std::size_t Size() const { return FBytes.size(); }
    std::vector<std::uint8_t>& Data() { return FBytes; }

private:
    std::vector<std::uint8_t> FBytes;
};

std::uint32_t Checksum(const std::vector<std::uint8_t>& Bytes) {
    std::uint32_t Sum = 0;
    for (std::size_t I = 0; I < Bytes.size(); I += 4) {
        std::uint32_t Word = 0;
        for (std::size_t K = 0; K < 4; ++K) Word = (Word << 8) | (I + K < Bytes.size() ? Bytes[I + K] : 0u);
        Sum += Word;
    }
    return Sum;
}

// UTF-8 to UTF-16 big-endian; each malformed piece becomes U+FFFD.
std::vector<std::uint8_t> Utf16BE(const std::string& Text) {
    std::vector<std::uint8_t> Out;
    for (const char16_t U : Utf8ToUtf16(Text)) {
        Out.push_back(static_cast<std::uint8_t>(U >> 8));
        Out.push_back(static_cast<std::uint8_t>(U & 0xFF));
    }
    return Out;
}

std::string PostScriptName(const TFontDesign& FontDesign) {
    std::string Name;
    for (const char C : FontDesign.FamilyName + "-" + FontDesign.StyleName())
        if ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '-') Name += C;
    if (Name.empty() || Name[0] == '-') Name = "Font" + Name;
    return Name.substr(0, 63);
}

int Log2Floor(unsigned V) {
    int R = 0;
    while (V >>= 1) ++R;
    return R;
}

void Validate(const TFontDesign& S) {
    if (S.FamilyName.empty()) throw EFontGen("a font needs a family name");
    if (S.FamilyName.size() > 200) throw EFontGen("the family name is longer than 200 bytes");
    if (S.UnitsPerEm < 16 || S.UnitsPerEm > 16384)
        throw EFontGen("units per em must lie between 16 and 16384, not %d", {S.UnitsPerEm});
    if (S.Ascender <= 0 || S.Ascender > 32767) throw EFontGen("the ascender must lie between 1 and 32767, not %d", {S.Ascender});
    if (S.Descender > 0 || S.Descender < -32768)
        throw EFontGen("the descender must lie between -32768 and 0, not %d", {S.Descender});
    if (S.LineGap < 0 || S.LineGap > 32767) throw EFontGen("the line gap must lie between 0 and 32767, not %d", {S.LineGap});
    if (S.Os2Version < 1 || S.Os2Version > 4)
        throw EFontGen("the OS/2 table version must lie between 1 and 4, not %d", {S.Os2Version});
    if (S.Weight < 1 || S.Weight > 1000) throw EFontGen("the weight must lie between 1 and 1000, not %d", {S.Weight});
    if (S.CapHeight < 0 || S.CapHeight > S.Ascender)
        throw EFontGen("the cap height must lie between 0 and the ascender (%d), not %d", {S.Ascender, S.CapHeight});
    if (S.ExtraLetters != 0 && (S.ExtraLetters < 0x80 || S.ExtraLetters > 0xFFFF - 26))
        throw EFontGen("the extra letters must start between U+0080 and U+FFE5, not %d", {static_cast<int>(S.ExtraLetters)});
}

}  // namespace

AnsiString TFontDesign::StyleName() const {
    const bool Bold = Weight >= 700;
    if (Bold && Italic) return "Bold Italic";
    if (Bold) return "Bold";
    if (Italic) return "Italic";
    return "Regular";
}

AnsiString TFontDesign::FullName() const {
    if (!FullNameRecord.empty()) return FullNameRecord;
    const AnsiString Style = StyleName();
    return Style == "Regular" ? FamilyName : FamilyName + " " + Style;
}

const std::string& SupportedCharacters() {
    static const std::string Instance = [] {
        std::string S = " ";
        for (const auto& Shape : Shapes) S += Shape.Code;
        for (char C = 'a'; C <= 'z'; ++C) S += C;
        std::sort(S.begin(), S.end());
        return S;
    }();
    return Instance;
}

std::vector<std::uint8_t> BuildTrueTypeFont(const TFontDesign& FontDesign) {
    Validate(FontDesign);
    const int CapHeight = FontDesign.CapHeight > 0 ? FontDesign.CapHeight : std::max(7, FontDesign.UnitsPerEm * 7 / 10);
    const int Cell = std::max(1, CapHeight / 7);
    const int Advance = 6 * Cell;
    const int SpaceAdvance = 4 * Cell;

    // Glyph 0 is .notdef, 1 the space, then the shapes in table order.
    std::vector<TGlyph> Glyphs;
    Glyphs.push_back(NotdefGlyph(Cell, Advance));
    TGlyph Space;
    Space.Advance = SpaceAdvance;
    Glyphs.push_back(Space);
    std::map<unsigned, unsigned> CharToGlyph = {{' ', 1}};
    for (const auto& Shape : Shapes) {
        const auto Id = static_cast<unsigned>(Glyphs.size());
        Glyphs.push_back(ShapeGlyph(Shape, Cell, Advance));
        const bool Letter = Shape.Code >= 'A' && Shape.Code <= 'Z';
        if (Letter && FontDesign.ExtraLetters != 0) CharToGlyph[FontDesign.ExtraLetters + unsigned(Shape.Code - 'A')] = Id;
        if (Letter && !FontDesign.LatinLetters) continue;
        CharToGlyph[static_cast<unsigned char>(Shape.Code)] = Id;
        if (Letter) CharToGlyph[static_cast<unsigned>(Shape.Code - 'A' + 'a')] = Id;
    }
    for (auto& G : Glyphs) Bounds(G);
    const auto NumGlyphs = static_cast<unsigned>(Glyphs.size());

    // glyf and loca
    TBuffer Glyf, Loca;
    int XMin = 1 << 30, YMin = 1 << 30, XMax = -(1 << 30), YMax = -(1 << 30);
    unsigned MaxPoints = 0, MaxContours = 0;
    int MinLsb = 1 << 30, MinRsb = 1 << 30, MaxExtent = 0, MaxAdvance = 0;
    long AdvanceSum = 0;
    int AdvanceCount = 0;
    for (const auto& G : Glyphs) {
        Loca.U32(static_cast<std::uint32_t>(Glyf.Size()));
        MaxAdvance = std::max(MaxAdvance, G.Advance);
        if (G.Advance > 0) {
            AdvanceSum += G.Advance;
            ++AdvanceCount;
        }
        if (G.Contours.empty()) continue;
        XMin = std::min(XMin, G.XMin);
        YMin = std::min(YMin, G.YMin);
        XMax = std::max(XMax, G.XMax);
        YMax = std::max(YMax, G.YMax);
        MinLsb = std::min(MinLsb, G.XMin);
        MinRsb = std::min(MinRsb, G.Advance - G.XMax);
        MaxExtent = std::max(MaxExtent, G.XMax);
        Glyf.S16(static_cast<int>(G.Contours.size()));
        Glyf.S16(G.XMin);
        Glyf.S16(G.YMin);
        Glyf.S16(G.XMax);
        Glyf.S16(G.YMax);
        unsigned Points = 0;
        for (const auto& C : G.Contours) {
            Points += static_cast<unsigned>(C.size());
            Glyf.U16(Points - 1);
        }
        MaxPoints = std::max(MaxPoints, Points);
        MaxContours = std::max(MaxContours, static_cast<unsigned>(G.Contours.size()));
        Glyf.U16(0);  // no instructions
        for (unsigned I = 0; I < Points; ++I) Glyf.U8(0x01);  // on-curve, 16-bit deltas
        TPoint Last{0, 0};
        for (const auto& C : G.Contours)
            for (const auto& P : C) {
                Glyf.S16(P.X - Last.X);
                Last.X = P.X;
            }
        for (const auto& C : G.Contours)
            for (const auto& P : C) {
                Glyf.S16(P.Y - Last.Y);
                Last.Y = P.Y;
            }
        Glyf.Align4();
    }
    Loca.U32(static_cast<std::uint32_t>(Glyf.Size()));

    const int WinAscent = std::max(FontDesign.Ascender, YMax);
    const int WinDescent = std::max(-FontDesign.Descender, -YMin);
    const bool Bold = FontDesign.Weight >= 700;

    // head
    TBuffer Head;
    Head.U32(0x00010000);
    Head.U32(0x00010000);  // font revision 1.0
    Head.U32(0);           // checksum adjustment, filled in at the end
    Head.U32(0x5F0F3CF5);
    Head.U16(0x000B);  // baseline at y 0, left side bearing at x 0, integer scaling
    Head.U16(static_cast<unsigned>(FontDesign.UnitsPerEm));
    Head.S64(3850070400);  // created and modified: 2026-01-01, fixed so that the output is reproducible
    Head.S64(3850070400);
    Head.S16(XMin);
    Head.S16(YMin);
    Head.S16(XMax);
    Head.S16(YMax);
    Head.U16((Bold ? 1u : 0u) | (FontDesign.Italic ? 2u : 0u));
    Head.U16(8);  // smallest readable size in pixels
    Head.S16(2);
    Head.S16(1);  // long loca offsets
    Head.S16(0);

    // hhea
    TBuffer Hhea;
    Hhea.U32(0x00010000);
    Hhea.S16(FontDesign.Ascender);
    Hhea.S16(FontDesign.Descender);
    Hhea.S16(FontDesign.LineGap);
    Hhea.U16(static_cast<unsigned>(MaxAdvance));
    Hhea.S16(MinLsb);
    Hhea.S16(MinRsb);
    Hhea.S16(MaxExtent);
    Hhea.S16(1);  // caret slope rise
    Hhea.S16(0);  // caret slope run
    Hhea.S16(0);  // caret offset
    for (int I = 0; I < 4; ++I) Hhea.S16(0);
    Hhea.S16(0);  // metric data format
    Hhea.U16(NumGlyphs);

    // maxp
    TBuffer Maxp;
    Maxp.U32(0x00010000);
    Maxp.U16(NumGlyphs);
    Maxp.U16(MaxPoints);
    Maxp.U16(MaxContours);
    Maxp.U16(0);  // composite points
    Maxp.U16(0);  // composite contours
    Maxp.U16(2);  // zones
    for (int I = 0; I < 9; ++I) Maxp.U16(0);

    // OS/2: version 4 unless asked for an older one, whose table ends
    // earlier and knows fewer selection flags
    TBuffer Os2;
    const int Em = FontDesign.UnitsPerEm;
    Os2.U16(static_cast<unsigned>(FontDesign.Os2Version));
    Os2.S16(static_cast<int>(AdvanceSum / std::max(1, AdvanceCount)));
    Os2.U16(static_cast<unsigned>(FontDesign.Weight));
    Os2.U16(5);  // normal width
    Os2.U16(FontDesign.FsType);  // embedding licence
    Os2.S16(Em * 65 / 100);  // subscript x size
    Os2.S16(Em * 60 / 100);  // subscript y size
    Os2.S16(0);
    Os2.S16(Em * 75 / 1000);
    Os2.S16(Em * 65 / 100);  // superscript
    Os2.S16(Em * 60 / 100);
    Os2.S16(0);
    Os2.S16(Em * 35 / 100);
    Os2.S16(Cell);           // strikeout size
    Os2.S16(CapHeight / 2);  // strikeout position
    Os2.S16(0);              // family class
    for (int I = 0; I < 10; ++I) Os2.U8(0);  // PANOSE: any
    Os2.U32(1);  // Unicode ranges: Basic Latin
    Os2.U32(0);
    Os2.U32(0);
    Os2.U32(0);
    Os2.Tag("TCSK");
    Os2.U16((FontDesign.Italic ? 0x0001u : 0u) | (Bold ? 0x0020u : 0u) | (!Bold && !FontDesign.Italic ? 0x0040u : 0u) |
            (FontDesign.Os2Version >= 4 ? 0x0080u : 0u));  // typographic metrics: version 4 on
    Os2.U16(CharToGlyph.begin()->first);
    Os2.U16(CharToGlyph.rbegin()->first);
    Os2.S16(FontDesign.Ascender);
    Os2.S16(FontDesign.Descender);
    Os2.S16(FontDesign.LineGap);
    Os2.U16(static_cast<unsigned>(WinAscent));
    Os2.U16(static_cast<unsigned>(WinDescent));
    Os2.U32(1);  // code pages: Latin 1
    Os2.U32(0);
    if (FontDesign.Os2Version >= 2) {
        Os2.S16(CapHeight);  // x height: the small letters are the capitals
        Os2.S16(CapHeight);
        Os2.U16(0);     // default character: .notdef
        Os2.U16(0x20);  // break character
        Os2.U16(1);     // no contextual lookups
    }

    // hmtx
    TBuffer Hmtx;
    for (const auto& G : Glyphs) {
        Hmtx.U16(static_cast<unsigned>(G.Advance));
        Hmtx.S16(G.Contours.empty() ? 0 : G.XMin);
    }

    // cmap: one format 4 subtable for Unicode and for Windows Unicode BMP.
    // Segments are runs of consecutive codes whose glyph ids run alongside.
    struct TSegment {
        unsigned Start, End;
        int Delta;
    };
    std::vector<TSegment> Segments;
    for (const auto& [Code, Glyph] : CharToGlyph) {
        const int Delta = static_cast<int>(Glyph) - static_cast<int>(Code);
        if (!Segments.empty() && Segments.back().End + 1 == Code && Segments.back().Delta == Delta)
            Segments.back().End = Code;
        else
            Segments.push_back({Code, Code, Delta});
    }
    Segments.push_back({0xFFFF, 0xFFFF, 1});
    const auto SegCount = static_cast<unsigned>(Segments.size());
    const unsigned SearchRange = 2u << Log2Floor(SegCount);
    TBuffer Sub;
    Sub.U16(4);
    Sub.U16(16 + 8 * SegCount);
    Sub.U16(0);
    Sub.U16(2 * SegCount);
    Sub.U16(SearchRange);
    Sub.U16(static_cast<unsigned>(Log2Floor(SearchRange / 2)));
    Sub.U16(2 * SegCount - SearchRange);
    for (const auto& S : Segments) Sub.U16(S.End);
    Sub.U16(0);
    for (const auto& S : Segments) Sub.U16(S.Start);
    for (const auto& S : Segments) Sub.U16(static_cast<unsigned>(S.Delta) & 0xFFFF);
    for (std::size_t I = 0; I < Segments.size(); ++I) Sub.U16(0);
    TBuffer Cmap;
    Cmap.U16(0);
    Cmap.U16(2);
    Cmap.U16(0);  // Unicode platform, BMP
    Cmap.U16(3);
    Cmap.U32(4 + 2 * 8);
    Cmap.U16(3);  // Windows platform, Unicode BMP
    Cmap.U16(1);
    Cmap.U32(4 + 2 * 8);
    Cmap.Bytes(Sub.Data());

    // name: Windows platform, US English, UTF-16BE.
    std::vector<std::pair<unsigned, std::string>> Names = {
        {0, FontDesign.Copyright},
        {1, FontDesign.FamilyName},
        {2, FontDesign.StyleName()},
        {3, "Typecask fontgen: " + FontDesign.FullName()},
        {4, FontDesign.FullName()},
        {5, FontDesign.Version},
        {6, PostScriptName(FontDesign)},
    };
    Names.insert(Names.end(), FontDesign.MoreNames.begin(), FontDesign.MoreNames.end());
    std::stable_sort(Names.begin(), Names.end(), [](const auto& A, const auto& B) { return A.first < B.first; });
    TBuffer NameRecords, NameStrings;
    for (const auto& [Id, Text] : Names) {
        const auto Encoded = Utf16BE(Text);
        if (Encoded.size() > 0xFFFF) throw EFontGen("name %d of the font is too long", {static_cast<int>(Id)});
        NameRecords.U16(3);
        NameRecords.U16(1);
        NameRecords.U16(0x0409);
        NameRecords.U16(Id);
        NameRecords.U16(static_cast<unsigned>(Encoded.size()));
        NameRecords.U16(static_cast<unsigned>(NameStrings.Size()));
        NameStrings.Bytes(Encoded);
    }
    if (NameStrings.Size() > 0xFFFF) throw EFontGen("the names of the font are too long");
    TBuffer Name;
    Name.U16(0);
    Name.U16(static_cast<unsigned>(Names.size()));
    Name.U16(static_cast<unsigned>(6 + 12 * Names.size()));
    Name.Bytes(NameRecords.Data());
    Name.Bytes(NameStrings.Data());

    // post, version 3: no glyph names
    TBuffer Post;
    Post.U32(0x00030000);
    Post.U32(0);  // italic angle
    Post.S16(FontDesign.Descender / 2);
    Post.S16(std::max(1, Cell / 2));
    Post.U32(0);  // proportional
    for (int I = 0; I < 4; ++I) Post.U32(0);

    // The file: directory first, tables in tag order.
    TBuffer Private;
    Private.Bytes(FontDesign.PrivateData);
    std::vector<std::pair<const char*, TBuffer*>> Tables = {
        {"OS/2", &Os2}, {"cmap", &Cmap}, {"glyf", &Glyf}, {"head", &Head}, {"hhea", &Hhea},
        {"hmtx", &Hmtx}, {"loca", &Loca}, {"maxp", &Maxp}, {"name", &Name}, {"post", &Post},
    };
    if (!FontDesign.PrivateData.empty()) Tables.insert(Tables.begin() + 1, {"TPAD", &Private});
    const auto NumTables = static_cast<unsigned>(Tables.size());
    const unsigned DirSearch = 16u << Log2Floor(NumTables);
    TBuffer Font;
    Font.U32(0x00010000);
    Font.U16(NumTables);
    Font.U16(DirSearch);
    Font.U16(static_cast<unsigned>(Log2Floor(NumTables)));
    Font.U16(NumTables * 16 - DirSearch);
    std::size_t Offset = 12 + 16 * Tables.size();
    std::size_t HeadOffset = 0;
    for (const auto& [Tag, Table] : Tables) {
        Font.Tag(Tag);
        Font.U32(Checksum(Table->Data()));
        Font.U32(static_cast<std::uint32_t>(Offset));
        Font.U32(static_cast<std::uint32_t>(Table->Size()));
        if (std::string(Tag) == "head") HeadOffset = Offset;
        Offset += (Table->Size() + 3) & ~std::size_t(3);
    }
    for (const auto& [Tag, Table] : Tables) {
        Font.Bytes(Table->Data());
        Font.Align4();
    }
    Font.PutU32At(HeadOffset + 8, 0xB1B0AFBAu - Checksum(Font.Data()));
    return std::move(Font.Data());
}

void WriteTrueTypeCollection(const std::vector<TFontDesign>& Faces, const AnsiString& FileName) {
    // The header, then each font as it is alone, with the offsets of its
    // tables made relative to the collection's start.
    TBuffer Collection;
    Collection.Tag("ttcf");
    Collection.U32(0x00010000);
    Collection.U32(static_cast<std::uint32_t>(Faces.size()));
    std::size_t Base = 12 + 4 * Faces.size();
    std::vector<std::vector<std::uint8_t>> Fonts;
    for (const auto& Face : Faces) {
        Fonts.push_back(BuildTrueTypeFont(Face));
        Collection.U32(static_cast<std::uint32_t>(Base));
        Base += Fonts.back().size();
    }
    Base = 12 + 4 * Faces.size();
    for (auto& Font : Fonts) {
        const unsigned NumTables = (Font[4] << 8) | Font[5];
        for (unsigned T = 0; T < NumTables; ++T) {
            std::uint8_t* P = Font.data() + 12 + 16 * T + 8;
            const std::uint32_t Offset =
                ((std::uint32_t{P[0]} << 24) | (std::uint32_t{P[1]} << 16) | (std::uint32_t{P[2]} << 8) | P[3]) +
                static_cast<std::uint32_t>(Base);
            P[0] = static_cast<std::uint8_t>(Offset >> 24);
            P[1] = static_cast<std::uint8_t>(Offset >> 16);
            P[2] = static_cast<std::uint8_t>(Offset >> 8);
            P[3] = static_cast<std::uint8_t>(Offset);
        }
        Base += Font.size();
        Collection.Bytes(Font);
    }
    TFileStream Out(FileName, fmCreate);
    Out.WriteBuffer(Collection.Data().data(), static_cast<std::int64_t>(Collection.Size()));
}

void WriteTrueTypeFont(const TFontDesign& FontDesign, const AnsiString& FileName) {
    const auto Bytes = BuildTrueTypeFont(FontDesign);
    TFileStream Out(FileName, fmCreate);
    Out.WriteBuffer(Bytes.data(), static_cast<std::int64_t>(Bytes.size()));
}

}  // namespace FontGen
