// The workbook readers of the Windows build, against the libraries the
// Linux build reads with: the same events as expat for the same XML, the
// same refusals, and the same members as libzip wrote.
#include <expat.h>
#include <gtest/gtest.h>

#include <string>

#include "BookMaker.h"
#include "data/XmlScan.h"
#include "data/ZipArchive.h"

namespace {

// Events as one line each: "<name a=v", ">name", "text" (runs joined).
struct Recorder : data::XmlEvents {
    std::string log;
    bool inText = false;
    void Start(const char* name, const char** attributes) override {
        log += std::string("\n<") + name;
        for (const char** a = attributes; *a; a += 2) log += std::string(" ") + a[0] + "=" + a[1];
        inText = false;
    }
    void End(const char* name) override {
        log += std::string("\n>") + name;
        inText = false;
    }
    void Text(std::string_view text) override {
        if (!inText) log += "\n";
        log += text;
        inText = true;
    }
};

// What expat tells of `xml`, as Recorder writes it; "refused" when it
// refuses it or finds a document type.
std::string ByExpat(const std::string& xml) {
    Recorder r;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &r);
    XML_SetElementHandler(
        p, [](void* r, const char* n, const char** a) { static_cast<Recorder*>(r)->Start(n, a); },
        [](void* r, const char* n) { static_cast<Recorder*>(r)->End(n); });
    XML_SetCharacterDataHandler(p, [](void* r, const char* t, int n) {
        static_cast<Recorder*>(r)->Text({t, static_cast<size_t>(n)});
    });
    XML_SetStartDoctypeDeclHandler(p, [](void* r, const char*, const char*, const char*, int) {
        static_cast<Recorder*>(r)->stop = true;
    });
    const bool ok = XML_Parse(p, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(p);
    return ok && !r.stop ? r.log : "refused";
}

std::string ByScan(const std::string& xml) {
    Recorder r;
    return data::ScanXml(xml, r) == data::XmlScanned::kRead ? r.log : "refused";
}

TEST(BookReaders, XmlAsExpatReadsIt) {
    const std::string read[] = {
        "<a/>",
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<x:a xmlns:x='u'>t</x:a>",
        "<a b=\"1\" c='2' d = \"&lt;&gt;&amp;&quot;&apos;\">x&#65;&#x3042;&#x1F600;y</a>",
        "<a b=\"l1\r\nl2\tl3\nl4\" c=\"&#10;&#13;&#9;\">l1\r\nl2\rl3\n&#13;</a>",
        "<a><!-- c --><?pi x?><![CDATA[<&amp;>\r\n]]><b/>tail<c></c></a>\n<!-- after -->\n",
        "<a>表ｶ😀 <b x=\"é\">  </b></a>",
    };
    for (const std::string& xml : read) {
        const std::string expat = ByExpat(xml);
        ASSERT_NE(expat, "refused") << xml;
        EXPECT_EQ(ByScan(xml), expat) << xml;
    }
    const std::string refused[] = {
        "", "text", "<a>", "<a></b>", "<a/><b/>", "<a/>junk", "junk<a/>", "<a>&nbsp;</a>", "<a>&#0;</a>",
        "<a>&#xD800;</a>", "<a>&amp</a>", "<a b=\"<\"/>", "<a b=\"1\" b=\"2\"/>", "<a b=\"1\"c=\"2\"/>",
        "<a b=1/>", "<a b/>", "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", "<a>\xFF</a>",
        std::string("<a>\0</a>", 8), "<a>\x01</a>", "<a><![CDATA[x</a>", "<a><!-- x</a>", "</a>", "<a><!--></a>",
        "<?><a/>",
    };
    for (const std::string& xml : refused) {
        EXPECT_EQ(ByExpat(xml), "refused") << xml;
        EXPECT_EQ(ByScan(xml), "refused") << xml;
    }
}

// A handler that stops the reading is obeyed at once.
TEST(BookReaders, XmlStopsWhenAsked) {
    struct Stopper : Recorder {
        void Start(const char* name, const char** attributes) override {
            Recorder::Start(name, attributes);
            stop = log.size() >= 6;
        }
    } s;
    EXPECT_EQ(data::ScanXml("<a><b><c><d/></c></b></a>", s), data::XmlScanned::kStopped);
    EXPECT_EQ(s.log, "\n<a\n<b");
}

TEST(BookReaders, ZipMembersAsWritten) {
    const testbook::Parts parts = {{"mimetype", "x"}, {"Dir/表.xml", std::string(300000, 'q') + "end"}, {"empty", ""}};
    // A ZIP64 locator in a file too short for the record it names.
    data::ZipArchive tiny;
    std::string z64 = std::string("PK\x06\x07", 4) + std::string(16, '\0') + std::string("PK\x05\x06", 4) +
                      std::string(4, '\0') + "\xFF\xFF\xFF\xFF" + std::string(10, '\0');
    EXPECT_FALSE(tiny.Open(z64));
    for (const bool deflate : {true, false}) {
        const std::string bytes = testbook::Zip(parts, deflate);
        data::ZipArchive zip;
        ASSERT_TRUE(zip.Open(bytes));
        std::string out;
        for (const auto& [name, content] : parts) {
            const data::ZipArchive::Member* m = zip.Find(name == "mimetype" ? "MIMETYPE" : name);
            ASSERT_NE(m, nullptr) << name;
            EXPECT_EQ(zip.Extract(*m, out, 1 << 20), data::ZipArchive::Read::kRead) << name;
            EXPECT_TRUE(out == content) << name;
        }
        EXPECT_EQ(zip.Find("missing"), nullptr);
        const data::ZipArchive::Member& big = *zip.Find("Dir/表.xml");
        EXPECT_EQ(zip.Extract(big, out, 1000), data::ZipArchive::Read::kTooLarge);

        // A byte of the member's data changed, the encryption flag set, the
        // archive cut short.
        std::string changed = bytes;
        changed[big.offset + 30 + big.name.size() + 20] ^= 1;
        data::ZipArchive bad;
        ASSERT_TRUE(bad.Open(changed));
        EXPECT_EQ(bad.Extract(*bad.Find("Dir/表.xml"), out, 1 << 20), data::ZipArchive::Read::kDamaged);
        std::string locked = bytes;
        data::ZipArchive zipped;
        ASSERT_TRUE(zipped.Open(locked));
        data::ZipArchive::Member encrypted = *zipped.Find("mimetype");
        encrypted.flags |= 1;
        EXPECT_EQ(zipped.Extract(encrypted, out, 1 << 20), data::ZipArchive::Read::kEncrypted);
        for (size_t cut : {bytes.size() - 1, bytes.size() / 2, size_t{10}}) {
            data::ZipArchive shortened;
            EXPECT_FALSE(shortened.Open(std::string_view(bytes).substr(0, cut))) << cut;
        }
        // A member that says it is far larger than deflate could make it.
        std::string liar = bytes;
        const size_t directory = liar.find("PK\x01\x02", liar.find("PK\x01\x02") + 1);
        if (deflate) {
            liar.replace(directory + 24, 4, "\xFF\xFF\xFF\x1F");
            data::ZipArchive lying;
            ASSERT_TRUE(lying.Open(liar));
            EXPECT_EQ(lying.Extract(*lying.Find("Dir/表.xml"), out, uint64_t{1} << 30),
                      data::ZipArchive::Read::kDamaged);
        }
    }
}

}  // namespace
