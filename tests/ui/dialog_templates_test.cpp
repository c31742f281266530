// The compiled dialog templates, read back from the program's resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

// The system's predefined control classes, as a template names them.
constexpr WORD kButton = 0x80;
constexpr WORD kEdit = 0x81;
constexpr WORD kStatic = 0x82;
constexpr WORD kComboBox = 0x85;

struct Control {
    DWORD id;
    WORD kind;
    std::string text;  // UTF-8; "#n" for a resource ordinal
    short x, y, cx, cy;
    DWORD style;
    DWORD helpId, exStyle;  // none of the controls has either
    WORD extraBytes;
};

struct Template {
    bool extended;
    DWORD helpId, exStyle, style;
    short x, y, cx, cy;
    std::string menu, windowClass, title;
    WORD pointSize, weight;
    BYTE italic, charset;
    std::string face;
    std::vector<Control> controls;
};

// Reads the DLGTEMPLATE and DLGTEMPLATEEX layouts, field by field.
class Reader {
public:
    explicit Reader(const BYTE* p) : m_start(p), m_p(p) {}

    template <class T>
    T Get()
    {
        T value;
        std::memcpy(&value, m_p, sizeof value);
        m_p += sizeof value;
        return value;
    }

    // A zero-terminated UTF-16 text, or 0xFFFF and an ordinal (as "#n"), or nothing.
    std::string SzOrOrd()
    {
        const WORD first = Get<WORD>();
        if (first == 0xFFFF)
            return "#" + std::to_string(Get<WORD>());
        std::wstring text;
        for (WORD c = first; c != 0; c = Get<WORD>())
            text += static_cast<wchar_t>(c);
        std::string utf8(text.size() * 3 + 1, '\0');
        utf8.resize(::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0],
                                          static_cast<int>(utf8.size()), nullptr, nullptr));
        return utf8;
    }

    void AlignToDword() { m_p = m_start + ((m_p - m_start + 3) & ~3); }
    void Skip(size_t n) { m_p += n; }

private:
    const BYTE* m_start;
    const BYTE* m_p;
};

Template Load(UINT id)
{
    const HMODULE hModule = ::GetModuleHandleA(nullptr);
    const HRSRC hRes = ::FindResourceExA(hModule, RT_DIALOG, MAKEINTRESOURCEA(id),
                                         MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (!hRes)
        return {};
    Reader r(static_cast<const BYTE*>(::LockResource(::LoadResource(hModule, hRes))));

    Template t = {};
    const DWORD first = r.Get<DWORD>();
    t.extended = first == 0xFFFF0001;
    if (t.extended) {
        t.helpId = r.Get<DWORD>();
        t.exStyle = r.Get<DWORD>();
        t.style = r.Get<DWORD>();
    } else {
        t.style = first;
        t.exStyle = r.Get<DWORD>();
    }
    const WORD count = r.Get<WORD>();
    t.x = r.Get<short>();
    t.y = r.Get<short>();
    t.cx = r.Get<short>();
    t.cy = r.Get<short>();
    t.menu = r.SzOrOrd();
    t.windowClass = r.SzOrOrd();
    t.title = r.SzOrOrd();
    t.pointSize = r.Get<WORD>();
    if (t.extended) {
        t.weight = r.Get<WORD>();
        t.italic = r.Get<BYTE>();
        t.charset = r.Get<BYTE>();
    }
    t.face = r.SzOrOrd();

    for (WORD i = 0; i < count; ++i) {
        r.AlignToDword();
        Control c = {};
        if (t.extended) {
            c.helpId = r.Get<DWORD>();
            c.exStyle = r.Get<DWORD>();
            c.style = r.Get<DWORD>();
        } else {
            c.style = r.Get<DWORD>();
            c.exStyle = r.Get<DWORD>();
        }
        c.x = r.Get<short>();
        c.y = r.Get<short>();
        c.cx = r.Get<short>();
        c.cy = r.Get<short>();
        c.id = t.extended ? r.Get<DWORD>() : r.Get<WORD>();
        const std::string kind = r.SzOrOrd();
        c.kind = kind[0] == '#' ? static_cast<WORD>(std::stoi(kind.substr(1))) : 0;
        c.text = r.SzOrOrd();
        c.extraBytes = r.Get<WORD>();
        r.Skip(c.extraBytes);
        t.controls.push_back(c);
    }
    return t;
}

void ExpectControls(const Template& t, const std::vector<Control>& expected)
{
    ASSERT_EQ(expected.size(), t.controls.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i) + " " + expected[i].text);
        const Control& c = t.controls[i];
        EXPECT_EQ(expected[i].id, c.id);
        EXPECT_EQ(expected[i].kind, c.kind);
        EXPECT_EQ(expected[i].text, c.text);
        EXPECT_EQ(expected[i].x, c.x);
        EXPECT_EQ(expected[i].y, c.y);
        EXPECT_EQ(expected[i].cx, c.cx);
        EXPECT_EQ(expected[i].cy, c.cy);
        EXPECT_EQ(expected[i].style, c.style);
        EXPECT_EQ(expected[i].helpId, c.helpId);
        EXPECT_EQ(expected[i].exStyle, c.exStyle);
        EXPECT_EQ(expected[i].extraBytes, c.extraBytes);
    }
}

TEST(DialogTemplates, SettingsIsAnExtendedTemplateWithTwelveControlsInTabOrder)
{
    const Template t = Load(IDD_SETTINGS);
    ASSERT_TRUE(t.extended);
    EXPECT_EQ(0u, t.helpId);
    EXPECT_EQ(0x90C800C0u, t.style);
    EXPECT_EQ(0x40000u, t.exStyle);
    EXPECT_EQ((std::vector<short>{0, 0, 234, 175}), (std::vector<short>{t.x, t.y, t.cx, t.cy}));
    EXPECT_EQ("", t.menu);
    EXPECT_EQ("", t.windowClass);
    EXPECT_EQ(u8"Quill To Find 設定", t.title);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(0, t.weight);
    EXPECT_EQ(0, t.italic);
    EXPECT_EQ(1, t.charset);
    EXPECT_EQ(u8"ＭＳ Ｐゴシック", t.face);

    // A DIALOGEX item's id is a DWORD: −1 is stored whole.
    const DWORD none = 0xFFFFFFFF;
    ExpectControls(t, {
        {IDC_SITE_COMBO, kComboBox, "", 89, 7, 26, 57, 0x50210003},
        {IDC_NAME_EDIT, kEdit, "", 38, 27, 189, 14, 0x50810080},
        {IDC_LEFT_EDIT, kEdit, "", 38, 45, 189, 14, 0x50810080},
        {IDC_RIGHT_EDIT, kEdit, "", 38, 67, 189, 14, 0x50810080},
        {IDOK, kButton, "OK", 48, 154, 50, 14, 0x50010001},
        {IDCANCEL, kButton, u8"ｷｬﾝｾﾙ", 135, 154, 50, 14, 0x50010000},
        {IDC_SAMPLE_EDIT, kEdit, "", 39, 90, 188, 57, 0x50811804},
        {none, kStatic, u8"検索サイト番号", 39, 10, 46, 8, 0x50020000},
        {none, kStatic, "URL1", 7, 49, 17, 8, 0x50020000},
        {none, kStatic, "URL2", 7, 71, 17, 8, 0x50020000},
        {none, kStatic, u8"発行URLサンプル", 7, 105, 29, 22, 0x50020000},
        {none, kStatic, u8"サイト名", 7, 31, 25, 8, 0x50020000},
    });
}

TEST(DialogTemplates, AboutIsAStandardTemplateWithTheIconNameNoticeAndOk)
{
    const Template t = Load(IDD_ABOUTBOX);
    ASSERT_FALSE(t.controls.empty());
    EXPECT_FALSE(t.extended);
    EXPECT_EQ(0x80C800C0u, t.style);
    EXPECT_EQ(0u, t.exStyle);
    EXPECT_EQ((std::vector<short>{0, 0, 235, 55}), (std::vector<short>{t.x, t.y, t.cx, t.cy}));
    EXPECT_EQ("", t.menu);
    EXPECT_EQ("", t.windowClass);
    EXPECT_EQ(u8"Quillfindのﾊﾞｰｼﾞｮﾝ情報", t.title);
    EXPECT_EQ(9, t.pointSize);
    EXPECT_EQ(u8"ＭＳ Ｐゴシック", t.face);

    const Control& notice = t.controls.at(2);
    ExpectControls(t, {
        {0xFFFF, kStatic, "#" + std::to_string(IDI_ACTIVE), 11, 17, 20, 20, 0x50000003},
        {0xFFFF, kStatic, "Quillfind Version 1.0", 40, 10, 119, 8, 0x50020080},
        {0xFFFF, kStatic, notice.text, 40, 25, 119, 8, 0x50020000},
        {IDOK, kButton, "OK", 178, 7, 50, 14, 0x50030001},
    });
    EXPECT_NE(std::string::npos, notice.text.find("Torven"));
    EXPECT_EQ(std::string::npos, notice.text.find('\n'));
}

}  // namespace
