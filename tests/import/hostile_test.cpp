// Damaged and hostile files: each is refused with a message that names the
// file (and the line or entry), the collection untouched, never a crash.
#include "tests/import/import_fixture.h"

namespace {

using import_test::ImportErrorOf;
using import_test::ImportTest;
using import_test::WriteFile;
using import_test::WriteZip;

const QByteArray kOneEntry = R"(<?xml version="1.0" encoding="UTF-8"?>
<tellico xmlns="http://periapsis.org/tellico/" syntaxVersion="11">
 <collection title="C" type="6">
  <entry id="1"><series>Bone</series><issue>1</issue></entry>
 </collection>
</tellico>
)";

class HostileTest : public ImportTest {
protected:
    std::string Refusal(const QString& path, import::Format format) {
        return ImportErrorOf([&] {
            import::ReadPlan(path, import::ReadOptions{format, {}, false}, collection());
        });
    }
    void ExpectRefused(const std::string& message, const std::string& part) {
        EXPECT_NE(message.find(part), std::string::npos) << message;
        EXPECT_TRUE(Books().empty());
    }
};

TEST_F(HostileTest, ZipBombIsStoppedWhileItUnpacks) {
    // 16 MiB of one character packs to some 16 KiB: far beyond what text packs to.
    QByteArray xml = kOneEntry;
    xml.insert(xml.indexOf("<entry"), "<!--" + QByteArray(16 << 20, 'a') + "-->");
    WriteZip(file("bomb.tc"), {{"tellico.xml", xml}});
    ExpectRefused(
        Refusal(file("bomb.tc"), import::Format::Tellico),
        "bomb.tc (tellico.xml) line 4: it unpacks to more than 200 times its packed size");
}

TEST_F(HostileTest, BillionLaughsIsNotExpanded) {
    QByteArray xml = "<?xml version=\"1.0\"?>\n<!DOCTYPE tellico [\n <!ENTITY lol \"lol\">\n";
    for (int i = 1; i <= 9; ++i)
        xml += QStringLiteral(" <!ENTITY lol%1 \"%2\">\n")
                   .arg(i)
                   .arg(QString("&lol%1;")
                            .arg(i == 1 ? QString() : QString::number(i - 1))
                            .repeated(10))
                   .toUtf8();
    xml +=
        "]>\n<tellico><collection type=\"6\"><entry><series>&lol9;</series><issue>1</issue>"
        "</entry></collection></tellico>\n";
    WriteFile(file("laughs.xml"), xml);
    ExpectRefused(Refusal(file("laughs.xml"), import::Format::Tellico),
                  "laughs.xml line 3: the document declares entities, which are not read");
}

TEST_F(HostileTest, TruncatedArchiveAndDocumentAreNamed) {
    WriteZip(file("whole.tc"), {{"tellico.xml", kOneEntry}});
    QByteArray zip;
    {
        QFile whole(file("whole.tc"));
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        zip = whole.readAll();
    }
    WriteFile(file("cut.tc"), zip.left(zip.size() / 2));
    ExpectRefused(Refusal(file("cut.tc"), import::Format::Tellico),
                  "cut.tc: not a readable zip archive");

    WriteFile(file("cut.xml"), kOneEntry.left(kOneEntry.indexOf("</entry>")));
    ExpectRefused(Refusal(file("cut.xml"), import::Format::Tellico), "cut.xml line 4: ");
}

TEST_F(HostileTest, EndlessCsvLineStopsAtTheRecordBound) {
    // A header, then 2 GB without a line break: a sparse file, no disk used.
    WriteFile(file("endless.csv"), "Series,Issue\nBone,");
    QFile endless(file("endless.csv"));
    ASSERT_TRUE(endless.resize(qint64(2) << 30));
    import::ReadOptions options{import::Format::Csv,
                                { {import::Target::Series, "Series"},
                                  { import::Target::Issue,
                                    "Issue" } }};
    const std::string message =
        ImportErrorOf([&] { import::ReadPlan(file("endless.csv"), options, collection()); });
    ExpectRefused(message, "endless.csv line 2: a record longer than 1048576 bytes");

    WriteFile(file("open.csv"), "Series,Issue\n\"Bone,1\n");
    ExpectRefused(ImportErrorOf([&] { import::ReadPlan(file("open.csv"), options, collection()); }),
                  "open.csv line 2: a quoted field is not closed");
}

TEST_F(HostileTest, UnknownFilesAreRefusedByDetection) {
    WriteFile(file("notes.xml"), "<?xml version=\"1.0\"?><library><book/></library>");
    ExpectRefused(ImportErrorOf([&] { import::DetectFormat(file("notes.xml")); }),
                  "notes.xml: not a file the import knows");
    WriteZip(file("photos.zip"), {{"a.jpg", "x"}});
    ExpectRefused(ImportErrorOf([&] { import::DetectFormat(file("photos.zip")); }),
                  "photos.zip: a zip archive with neither tellico.xml nor ComicInfo.xml");
}

}  // namespace
