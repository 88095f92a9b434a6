// The registry file: both headers, every value form, escapes, continuations, and damaged input
// that must still be read as far as it can be.
#include "platform/regfile/regfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumivex {
namespace {

using namespace regfile;
using Bytes = std::vector<std::uint8_t>;

const Value* Find(const Document& document, const std::string& key, const std::string& name) {
    const Key* found = FindKey(document, key);
    return found == nullptr ? nullptr : FindValue(*found, name);
}

Bytes Text(const std::string& text) { // a string value's data: the text and its NUL
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

// ASCII text as UTF-16 after `mark` (the byte-order mark, or nothing).
std::string Utf16(const std::string& ascii, bool bigEndian = false, std::string mark = "\xFF\xFE") {
    for (char c : ascii) {
        mark += bigEndian ? '\0' : c;
        mark += bigEndian ? c : '\0';
    }
    return mark;
}

TEST(RegistryFileTest, ReadsEveryValueFormOfARegedit4File) {
    Document document = Parse("REGEDIT4\n"
                              "\n"
                              "[HKEY_CURRENT_USER\\Software\\Test]\n"
                              "\"Name\"=\"Open GL\"\n"
                              "\"Escaped\"=\"a\\\\b\\\"c\"\n"
                              "\"Count\"=dword:0000000c\n"
                              "\"Negative\"=dword:ffffffff\n"
                              "\"Expand\"=hex(2):25,50,25,00\n"
                              "\"Multi\"=hex(7):61,00,62,00,00\n"
                              "\"Binary\"=hex:01,02,03,\\\n"
                              "  04,05\n"
                              "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\n"
                              "@=\"default\"\n");
    EXPECT_FALSE(document.Version5);
    const std::string key = "HKEY_CURRENT_USER\\Software\\Test";
    EXPECT_EQ(Find(document, key, "Name")->Data.Data, Text("Open GL"));
    EXPECT_EQ(Find(document, key, "Escaped")->Data.Data, Text("a\\b\"c"));
    EXPECT_EQ(Find(document, key, "Count")->Data.Type, REG_DWORD);
    EXPECT_EQ(Find(document, key, "Count")->Data.Data, (Bytes{12, 0, 0, 0}));
    EXPECT_EQ(Find(document, key, "Negative")->Data.Data, (Bytes{255, 255, 255, 255}));
    EXPECT_EQ(Find(document, key, "Expand")->Data.Type, REG_EXPAND_SZ);
    EXPECT_EQ(Find(document, key, "Expand")->Data.Data, Text("%P%"));
    EXPECT_EQ(Find(document, key, "Multi")->Data.Type, REG_MULTI_SZ);
    EXPECT_EQ(Find(document, key, "Binary")->Data.Type, REG_BINARY);
    EXPECT_EQ(Find(document, key, "Binary")->Data.Data, (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(Find(document, key, "Quad")->Data.Type, REG_QWORD);
    EXPECT_EQ(Find(document, key, "")->Data.Data, Text("default"));
    // Names compare without regard to case, as on Windows.
    EXPECT_NE(Find(document, "hkey_current_user\\SOFTWARE\\test", "COUNT"), nullptr);
}

TEST(RegistryFileTest, Version5StringDataIsUtf16AndIsReadAsNarrowText) {
    // "C:\" in UTF-16LE is 43 00 3a 00 5c 00, then the NUL 00 00.
    Document document = Parse("Windows Registry Editor Version 5.00\r\n"
                              "\r\n"
                              "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"
                              "\"Wallpaper\"=hex(2):43,00,3a,00,5c,00,00,00\r\n"
                              "\"Wide\"=hex(1):41,00,00,00\r\n"
                              "\"Long\"=hex(4):01,02,03,04,05,06,07,08\r\n"
                              "\"Plain\"=\"text\"\r\n");
    EXPECT_TRUE(document.Version5);
    EXPECT_TRUE(document.Crlf);
    const Value* wallpaper =
        Find(document, "HKEY_CURRENT_USER\\Control Panel\\Desktop", "Wallpaper");
    ASSERT_NE(wallpaper, nullptr);
    EXPECT_EQ(NarrowData(*wallpaper).Data, Text("C:\\"));
    EXPECT_EQ(NarrowData(*wallpaper).Type, REG_EXPAND_SZ);
    // Unchanged values are written back exactly as they were: UTF-16 stays UTF-16 whatever its
    // type, and a DWORD that is not 4 bytes long keeps all of them.
    std::string text = Write(document);
    EXPECT_NE(text.find("\"Wallpaper\"=hex(2):43,00,3a,00,5c,00,00,00\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Wide\"=hex(1):41,00,00,00\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Long\"=hex(4):01,02,03,04,05,06,07,08\r\n"), std::string::npos) << text;
}

TEST(RegistryFileTest, AUtf16FileWithByteOrderMarkIsRead) {
    Document document =
        Parse(Utf16("Windows Registry Editor Version 5.00\r\n[K]\r\n\"x\"=\"y\"\r\n"));
    EXPECT_TRUE(document.Version5);
    ASSERT_NE(Find(document, "K", "x"), nullptr);
    EXPECT_EQ(Find(document, "K", "x")->Data.Data, Text("y"));
}

TEST(RegistryFileTest, WritesTheProgramsValuesInRegeditForm) {
    Document document;
    Key& key = AddKey(document, "HKEY_CURRENT_USER\\Software\\Test");
    Bytes name = Text("OpenGL32.DLL");
    SetValue(key, "OpenGLDLL", REG_SZ, name.data(), name.size());
    Bytes clNone = {0xFF, 0xFF, 0xFF, 0x1F};
    SetValue(key, "MonoColor", REG_DWORD, clNone.data(), clNone.size());
    Bytes quoted = Text("say \"hi\" C:\\");
    SetValue(key, "Q", REG_SZ, quoted.data(), quoted.size());
    EXPECT_EQ(Write(document), "REGEDIT4\n"
                               "\n"
                               "[HKEY_CURRENT_USER\\Software\\Test]\n"
                               "\"OpenGLDLL\"=\"OpenGL32.DLL\"\n"
                               "\"MonoColor\"=dword:1fffffff\n"
                               "\"Q\"=\"say \\\"hi\\\" C:\\\\\"\n"
                               "\n");
}

TEST(RegistryFileTest, StringsThatQuotesCannotHoldAreWrittenAsHex) {
    Document document;
    Key& key = AddKey(document, "K");
    Bytes twoLines = {'a', '\n', 'b', 0};
    SetValue(key, "Lines", REG_SZ, twoLines.data(), twoLines.size());
    Bytes noNul = {'a', 'b'};
    SetValue(key, "NoNul", REG_SZ, noNul.data(), noNul.size());
    std::string text = Write(document);
    EXPECT_NE(text.find("\"Lines\"=hex(1):61,0a,62,00\n"), std::string::npos);
    EXPECT_NE(text.find("\"NoNul\"=hex(1):61,62\n"), std::string::npos);
    Document again = Parse(text);
    EXPECT_EQ(Find(again, "K", "Lines")->Data.Data, twoLines);
    EXPECT_EQ(Find(again, "K", "NoNul")->Data.Data, noNul);
}

TEST(RegistryFileTest, LongHexDataIsWrappedAndReadBack) {
    Document document;
    Bytes data(200);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = std::uint8_t(i * 7);
    SetValue(AddKey(document, "K"), "Blob", REG_BINARY, data.data(), data.size());
    std::string text = Write(document);
    std::size_t longest = 0, start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        longest = std::max(longest, end - start);
    EXPECT_LE(longest, 90u);
    EXPECT_EQ(Find(Parse(text), "K", "Blob")->Data.Data, data);
}

TEST(RegistryFileTest, DamagedLinesAreSkippedAndTheRestIsRead) {
    Document document = Parse("REGEDIT4\n"
                              "\"Orphan\"=\"before any key\"\n"
                              "[K]\n"
                              "\"Unknown\"=float:1.5\n"
                              "\"NoQuote\"=\"abc\n"
                              "\"BadDword\"=dword:123456789\n"
                              "\"BadHex\"=hex:01,zz\n"
                              "\"CutHex\"=hex:01,02,\\\n"
                              "\"After\"=dword:00000001\n"
                              "Name=\"unquoted\"\n"
                              "\"BadType\"=hex(:00\n"
                              "[Cut\n"
                              "\"Lost\"=\"belongs to no key\"\n"
                              "[L]\n"
                              "\"Last\"=\"x\"");
    ASSERT_NE(FindKey(document, "K"), nullptr);
    // Only the one complete value of K survives; nothing is put in the wrong key.
    ASSERT_EQ(FindKey(document, "K")->Values.size(), 1u);
    EXPECT_EQ(Find(document, "K", "After")->Data.Data, (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(Find(document, "L", "Last")->Data.Data, Text("x")); // no line end at all
    EXPECT_EQ(document.Keys.size(), 2u);

    // Hex data still asking for more when the file ends was cut off there: kept, not read.
    for (const char* last :
         {"\"End\"=hex:01,02,\\", "\"End\"=hex:01,02,\\\n", "\"End\"=hex:01,\\\r\n"}) {
        const Document cut = Parse(std::string("REGEDIT4\n[K]\n") + last);
        EXPECT_EQ(Find(cut, "K", "End"), nullptr) << last;
        const std::string_view text(last);
        const std::string line(text.substr(0, text.find_first_of("\r\n")));
        EXPECT_NE(Write(cut).find(line + "\n"), std::string::npos) << last;
    }
}

TEST(RegistryFileTest, ANulInsideAStringIsKept) {
    std::string file = "REGEDIT4\n[K]\n\"S\"=\"a";
    file += '\0';
    file += "b\"\n";
    Document document = Parse(file);
    EXPECT_EQ(Find(document, "K", "S")->Data.Data, (Bytes{'a', 0, 'b', 0}));
    EXPECT_EQ(Find(Parse(Write(document)), "K", "S")->Data.Data, (Bytes{'a', 0, 'b', 0}));
}

TEST(RegistryFileTest, DuplicatesMergeAndTheLastValueWins) {
    Document document = Parse("REGEDIT4\n"
                              "[K]\n\"A\"=dword:00000001\n\"B\"=\"b\"\n"
                              "[k]\n\"a\"=dword:00000002\n");
    ASSERT_EQ(document.Keys.size(), 1u);
    EXPECT_EQ(document.Keys[0].Path, "K");
    ASSERT_EQ(document.Keys[0].Values.size(), 2u);
    EXPECT_EQ(document.Keys[0].Values[0].Name, "A"); // first spelling, first place
    EXPECT_EQ(document.Keys[0].Values[0].Data.Data, (Bytes{2, 0, 0, 0}));
}

TEST(RegistryFileTest, DeletionsRemoveKeysWithTheirSubkeysAndSingleValues) {
    Document document = Parse("REGEDIT4\n"
                              "[A]\n\"x\"=\"1\"\n\"y\"=\"2\"\n"
                              "[A\\B]\n\"z\"=\"3\"\n"
                              "[AB]\n\"w\"=\"4\"\n"
                              "[C]\n\"x\"=\"1\"\n"
                              "[-A]\n"
                              "[C]\n\"x\"=-\n");
    EXPECT_FALSE(KeyExists(document, "A"));
    EXPECT_FALSE(KeyExists(document, "A\\B"));
    EXPECT_TRUE(KeyExists(document, "AB"));
    ASSERT_NE(FindKey(document, "C"), nullptr);
    EXPECT_TRUE(FindKey(document, "C")->Values.empty());
}

TEST(RegistryFileTest, AParentExistsThroughItsSubkeys) {
    Document document = Parse("REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Orvantix\\X]\n");
    EXPECT_TRUE(KeyExists(document, "HKEY_CURRENT_USER\\Software"));
    EXPECT_FALSE(KeyExists(document, "HKEY_CURRENT_USER\\Soft"));
    EXPECT_EQ(FindKey(document, "HKEY_CURRENT_USER\\Software"), nullptr);
}

TEST(RegistryFileTest, ValuesOfOneKeyKeepTheirOrderWhenAnotherIsChanged) {
    // The fuzzer's first find: compacting the values moved each one onto itself and emptied it.
    Document document =
        Parse(Utf16("Windows Registry Editor Version 5.00\r\n[A]\r\n\"x\"=\"y\"\r\n"));
    ASSERT_EQ(document.Keys.size(), 1u);
    ASSERT_EQ(document.Keys[0].Values.size(), 1u);
    EXPECT_EQ(document.Keys[0].Values[0].Name, "x");
    EXPECT_EQ(Write(document),
              Utf16("Windows Registry Editor Version 5.00\r\n\r\n[A]\r\n\"x\"=\"y\"\r\n\r\n"));
}

TEST(RegistryFileTest, CommentsAndLinesItCannotReadStayInPlaceWhenValuesChange) {
    const std::string test = "[HKEY_CURRENT_USER\\Software\\Test]\n";
    const std::string kept = "; colour of the picture\n"
                             "\"Colour\"=dword:00000001\n"
                             "Colour = blue\n"
                             "\"Cut\"=hex:01,\\\n"
                             "\"Comma\"=hex:01,02,\n"
                             "\"Name\"=\"x\"\n";
    const std::string keyless = "[HKEY_CURRENT_USER\\Software\\Cut\n"
                                "\"Orphan\"=\"belongs nowhere\"\n"
                                "[-HKEY_CURRENT_USER\\Software\\Gone]\n"
                                "\"AfterDeletion\"=\"nowhere too\"\n"
                                // text after a bracket, behind a blank or a lone CR, is no header
                                "[HKEY_CURRENT_USER\\Software\\Other] \"Kept\"=\"maybe\"\n"
                                "\"Next\"=\"too\"\n"
                                "[HKEY_CURRENT_USER\\Software\\Other]\r\"CR\"=\"only\"\n"
                                "[HKEY_CURRENT_USER\\Software\\Other] \"A]B\"=\"c\"\n";
    const std::string other = "\n"
                              "[HKEY_CURRENT_USER\\Software\\Other]\n"
                              "\"Keep\"=\"me\"\n"
                              "; the end\n";
    Document document = Parse("REGEDIT4\n; kept by hand\n\n" + test + kept + keyless + other);
    std::uint8_t two[4] = {2, 0, 0, 0}, three[4] = {3, 0, 0, 0};
    Key& key = *FindKey(document, "HKEY_CURRENT_USER\\Software\\Test");
    SetValue(key, "Colour", REG_DWORD, two, 4);
    SetValue(key, "New", REG_DWORD, three, 4);
    SetValue(AddKey(document, "HKEY_CURRENT_USER\\Software\\Added"), "A", REG_DWORD, three, 4);

    std::string changed = kept;
    changed.replace(changed.find("00000001"), 8, "00000002");
    std::string text = Write(document);
    EXPECT_EQ(text, "REGEDIT4\n; kept by hand\n\n" + test + changed + "\"New\"=dword:00000003\n" +
                        keyless + other +
                        "\n[HKEY_CURRENT_USER\\Software\\Added]\n\"A\"=dword:00000003\n\n");
    // What belonged to no key still does, and what could not be read is still not a value.
    Document again = Parse(text);
    EXPECT_EQ(FindKey(again, "HKEY_CURRENT_USER\\Software\\Test")->Values.size(), 3u);
    EXPECT_EQ(Write(again), text);
}

// A key opened by two sections keeps each value, and the lines between them, under the section it
// was read under; one it gets goes after its last entry.
TEST(RegistryFileTest, AKeyOpenedTwiceKeepsEachValueUnderItsOwnSection) {
    const std::string file = "REGEDIT4\n\n[A]\n\"One\"=dword:00000001\n; between\n\n"
                             "[B]\n\"Other\"=\"b\"\n\n[A]\n; first\n\"Two\"=dword:00000002\n\n";
    Document document = Parse(file);
    EXPECT_EQ(Write(document), file);
    const std::uint8_t seven[4] = {7, 0, 0, 0};
    SetValue(*FindKey(document, "A"), "one", REG_DWORD, seven, 4);
    SetValue(*FindKey(document, "A"), "Three", REG_DWORD, seven, 4);
    EXPECT_EQ(Write(document), "REGEDIT4\n\n[A]\n\"One\"=dword:00000007\n; between\n\n"
                               "[B]\n\"Other\"=\"b\"\n\n[A]\n; first\n\"Two\"=dword:00000002\n"
                               "\"Three\"=dword:00000007\n\n");
}

TEST(RegistryFileTest, UnmarkedAndBigEndianUtf16KeepTheirEncodingAndOtherKeys) {
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Keep\"=\"me\"\r\n\r\n";
    const std::string stored = "Windows Registry Editor Version 5.00\r\n\r\n" + other + "[K]\r\n";
    for (bool bigEndian : {false, true}) {
        for (std::string mark : {"", bigEndian ? "\xFE\xFF" : "\xFF\xFE"}) {
            SCOPED_TRACE(std::to_string(bigEndian) + " " + std::to_string(mark.size()));
            Document document = Parse(Utf16(stored + "\"x\"=\"y\"\r\n", bigEndian, mark));
            ASSERT_NE(Find(document, "K", "x"), nullptr);
            EXPECT_EQ(Find(document, "K", "x")->Data.Data, Text("y"));
            Bytes z = Text("z");
            SetValue(*FindKey(document, "K"), "x", REG_SZ, z.data(), z.size());
            EXPECT_EQ(Write(document), Utf16(stored + "\"x\"=\"z\"\r\n\r\n", bigEndian, mark));
        }
    }
    // UTF-8 keeps its mark too.
    EXPECT_EQ(Write(Parse("\xEF\xBB\xBFREGEDIT4\n")), "\xEF\xBB\xBFREGEDIT4\n\n");
}

TEST(RegistryFileTest, UnpairedSurrogatesOfAUtf16FileAreWrittenBackAsTheyWere) {
    // D800 alone in a comment, DC00 alone in a value, which the program reads as U+FFFD and
    // writes back as it read it.
    const std::string file = Utf16("REGEDIT4\r\n; ") + std::string("\0\xD8", 2) +
                             Utf16("\r\n\r\n[K]\r\n\"S\"=\"a", false, "") +
                             std::string("\0\xDC", 2) + Utf16("\"\r\n\r\n", false, "");
    Document document = Parse(file);
    const Bytes read = NarrowData(*Find(document, "K", "S")).Data;
    EXPECT_EQ(read, Text("a\xEF\xBF\xBD"));
    SetValue(*FindKey(document, "K"), "S", REG_SZ, read.data(), read.size());
    EXPECT_EQ(Write(document), file);
    // Narrow string data that is no UTF-8 stays hex there: quoted, D8 would come back as U+00D8.
    const std::string narrow = Utf16("REGEDIT4\r\n\r\n[K]\r\n\"N\"=hex(1):d8,00\r\n\r\n");
    EXPECT_EQ(Write(Parse(narrow)), narrow);
}

TEST(RegistryFileTest, OnlyBytesWithNeitherHeaderNorRegistrySectionAreForeign) {
    EXPECT_TRUE(Parse(std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)).Foreign);
    EXPECT_TRUE(Parse("; just a note\n").Foreign);
    EXPECT_FALSE(Parse("").Foreign);
    EXPECT_FALSE(Parse(" \r\n\n").Foreign);
    EXPECT_FALSE(Parse("REGEDIT4\ngarbage\n").Foreign);
    EXPECT_FALSE(Parse("[HKEY_CURRENT_USER\\Software]\n\"a\"=\"b\"\n").Foreign);
}

TEST(RegistryFileTest, ManyKeysAndValuesAreReadInReasonableTime) {
    // Quadratic lookups would take minutes here; the indexes keep it to a moment.
    std::string file = "REGEDIT4\n";
    for (int i = 0; i < 20000; ++i)
        file += "[K" + std::to_string(i) + "]\n\"v" + std::to_string(i) + "\"=\"x\"\n";
    file += "[Big]\n";
    for (int i = 0; i < 20000; ++i)
        file += "\"v" + std::to_string(i) + "\"=dword:00000001\n";
    Document document = Parse(file);
    EXPECT_EQ(document.Keys.size(), 20001u);
    EXPECT_EQ(document.Keys.back().Values.size(), 20000u);
}

} // namespace
} // namespace lumivex
