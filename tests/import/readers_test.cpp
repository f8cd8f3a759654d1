// Each format read from a file as its program writes it, through the whole
// import into a real collection: the awkward parts of real files included.
#include <QTextStream>

#include "tests/import/import_fixture.h"

namespace {

using import_test::ImportTest;
using import_test::WriteFile;
using import_test::WriteZip;

// A Tellico comic book collection as Tellico saves it: the field
// definitions first, multi-valued fields in their plural wrappers, dates
// as Tellico writes them and by hand, prices in two currencies, and text
// that Windows-1252 lacks.
const QByteArray kTellicoXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE tellico PUBLIC '-//Robby Stephenson/DTD Tellico V11.0//EN' 'http://periapsis.org/tellico/dtd/v11/tellico.dtd'>
<tellico xmlns="http://periapsis.org/tellico/" syntaxVersion="11">
 <collection title="My Comics" type="6">
  <fields>
   <field flags="8" title="Title" category="General" format="1" type="1" name="title"/>
   <field flags="7" title="Writer" category="General" format="2" type="1" name="writer"/>
   <field flags="0" title="Shelf" category="Personal" format="4" type="1" name="shelf"/>
  </fields>
  <entry id="1">
   <title>Watchmen</title>
   <writers><writer>Alan Moore</writer></writers>
   <artists><artist>Dave Gibbons</artist><artist>John Higgins</artist></artists>
   <series>Watchmen</series>
   <issue>1</issue>
   <publisher>DC Comics</publisher>
   <pub_year>1986</pub_year>
   <genres><genre>Superhero</genre></genres>
   <condition>Near Mint</condition>
   <pur_date>2003-05-17</pur_date>
   <pur_price>$12.99</pur_price>
   <signed>true</signed>
   <comments>Bought at the &lt;Comic Con&gt; &amp; signed there</comments>
   <shelf>B3</shelf>
   <cdate calendar="gregorian"><year>2003</year><month>5</month><day>17</day></cdate>
  </entry>
  <entry id="2">
   <title>Fearful Symmetry</title>
   <writers><writer>Alan Moore</writer><writer>Len Wein</writer></writers>
   <series>Watchmen</series>
   <issue>1/2</issue>
   <publisher>DC Comics</publisher>
   <condition>Very Fine</condition>
   <pur_date>17.05.2004</pur_date>
   <pur_price>12,99 €</pur_price>
  </entry>
  <entry id="3">
   <series>Watchmen</series><issue>0</issue><publisher>DC Comics</publisher><condition>Poor</condition>
  </entry>
  <entry id="4">
   <series>Watchmen</series><issues><issue>-1</issue></issues><publisher>DC Comics</publisher>
  </entry>
  <entry id="5">
   <title>Akira</title>
   <writers><writer>大友克洋</writer></writers>
   <series>Akira</series><issue>12A</issue>
   <pur_date>May 2001</pur_date>
  </entry>
  <entry id="6">
   <series>Akira</series><issue>Annual 3</issue><condition>Mint</condition>
  </entry>
  <entry id="7">
   <title>No series at all</title>
  </entry>
 </collection>
</tellico>
)";

TEST_F(ImportTest, TellicoArchiveComesInWithItsAwkwardValues) {
    WriteZip(file("comics.tc"), {{"tellico.xml", kTellicoXml}, {"images/abc.png", "not read"}});
    const import::ImportPlan plan = Import(file("comics.tc"), /*takeShortened=*/true);
    EXPECT_EQ(plan.Counts().read, 7);
    EXPECT_EQ(plan.Counts().booksAdded, 6);
    EXPECT_EQ(plan.Counts().seriesAdded, 2);
    ASSERT_EQ(plan.Refusals().size(), 1u);
    EXPECT_EQ(plan.Refusals()[0].reason, "no series name");
    EXPECT_TRUE(plan.Refusals()[0].origin.endsWith("comics.tc (tellico.xml) entry 7"));

    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), 6u);
    const auto* first = Find(books, "WATCHMEN", "1");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->publisher, "DC COMICS");
    EXPECT_EQ(first->comicNo, "              1");  // right-aligned to 15
    EXPECT_EQ(first->writer, "Alan Moore");
    EXPECT_EQ(first->artist, "Dave Gibbons, John Higgins");
    EXPECT_EQ(first->perc, 95);
    EXPECT_DOUBLE_EQ(first->paid, 12.99);
    EXPECT_TRUE(first->autograph);
    EXPECT_EQ(first->note, "Bought at the <Comic Con> & signed there");
    EXPECT_EQ(first->qty, 1);

    const auto* half = Find(books, "WATCHMEN", "1/2");
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->writer, "Alan Moore, Len Wein");
    EXPECT_EQ(half->perc, 90);
    EXPECT_DOUBLE_EQ(half->paid, 12.99);
    EXPECT_EQ(Find(books, "WATCHMEN", "0")->perc, 5);
    EXPECT_EQ(Find(books, "WATCHMEN", "-1")->perc, 100);  // no condition: as a new book
    EXPECT_EQ(Find(books, "AKIRA", "Annual 3")->perc, 100);
    const auto* akira = Find(books, "AKIRA", "12A");
    ASSERT_NE(akira, nullptr);
    EXPECT_EQ(akira->publisher, "");
    EXPECT_EQ(akira->writer, "????");  // outside the code page, taken as shown
    ASSERT_EQ(plan.Problems().size(), 1u);
    EXPECT_EQ(plan.Problems()[0].field, "WRITER");
    EXPECT_EQ(plan.Problems()[0].value, "大友克洋");
    EXPECT_EQ(Owned(),
              (std::map<QString, std::int64_t>{{"AKIRA ()", 2}, {"WATCHMEN (DC COMICS)", 4}}));
}

TEST_F(ImportTest, TellicoOfAnotherKindIsRefusedByName) {
    QByteArray books = kTellicoXml;
    books.replace("type=\"6\"", "type=\"2\"");
    WriteFile(file("books.xml"), books);
    EXPECT_EQ(import::DetectFormat(file("books.xml")), import::Format::Tellico);
    const std::string message = import_test::ImportErrorOf([&] { Import(file("books.xml")); });
    EXPECT_NE(message.find("books.xml line 4: a Tellico collection of type 2"), std::string::npos)
        << message;
    EXPECT_TRUE(Books().empty());
}

// A large document is parsed a piece ahead on a second thread: every value
// comes in whole across the pieces, and a fault far into it names its line.
TEST_F(ImportTest, LargeTellicoFileComesInWholeAcrossThePiecesReadAhead) {
    QByteArray xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tellico "
        "xmlns=\"http://periapsis.org/tellico/\" syntaxVersion=\"11\">\n"
        " <collection title=\"Big\" type=\"6\">\n";
    constexpr int kEntries = 3000;  // about 1.3 MB: several pieces
    const auto note = [](int i) { return QString(400, QChar('a' + i % 26)) + QString::number(i); };
    for (int i = 1; i <= kEntries; ++i)
        xml += QStringLiteral(
                   "  <entry id=\"%1\"><series>Big</series><issue>%1</issue>"
                   "<comments>%2</comments></entry>\n")
                   .arg(i)
                   .arg(note(i))
                   .toUtf8();
    WriteFile(file("big.xml"), xml + " </collection>\n</tellico>\n");
    EXPECT_EQ(Import(file("big.xml")).Counts().booksAdded, kEntries);
    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), std::size_t{kEntries});
    for (const import_test::BookRow& book : books)
        ASSERT_EQ(book.note, note(book.comicNo.trimmed().toInt())) << book.comicNo.toStdString();

    // The entry after the 3000, on line 3004, holds a value too long to take.
    xml += "  <entry id=\"x\"><series>Big</series><comments>" + QByteArray(1100000, 'z') +
           "</comments></entry>\n </collection>\n</tellico>\n";
    WriteFile(file("long.xml"), xml);
    const std::string message = import_test::ImportErrorOf([&] { Import(file("long.xml")); });
    EXPECT_NE(message.find("long.xml line 3004: a value longer than 1048576 characters"),
              std::string::npos)
        << message;
}

TEST_F(ImportTest, GCstarComicsComeInFromAttributes) {
    WriteFile(file("comics.gcs"), R"(<?xml version="1.0" encoding="UTF-8"?>
<collection type="GCcomics" items="3" version="1.7.3">
 <information><maxId>3</maxId></information>
 <item id="1" name="Thorgal 12" series="Thorgal" volume="12" title="La Cité du dieu perdu"
  writer="Jean Van Hamme" illustrator="Grzegorz Rosiński" publisher="Le Lombard"
  publishdate="01/10/1986" added="05/03/2009" cost="9,50 €" signing="1" rating="8">
  <synopsis>Thorgal arrive dans une cité oubliée.</synopsis>
  <comment>Première édition, coin corné</comment>
 </item>
 <item id="2" name="Thorgal HS" series="Thorgal" volume="Annual 3" title="" writer="" illustrator=""
  publisher="Le Lombard" cost="" signing="0">
  <synopsis></synopsis><comment></comment>
 </item>
 <item id="3" name="Blake" series="Blake et Mortimer" volume="1" title="Le Secret de l'Espadon"
  publisher="" cost="$4.00" signing="0">
  <writer><line><col>Edgar P. Jacobs</col></line><line><col>Jean Van Hamme</col></line></writer>
 </item>
</collection>
)");
    EXPECT_EQ(import::DetectFormat(file("comics.gcs")), import::Format::GCstar);
    const import::ImportPlan plan = Import(file("comics.gcs"), true);
    EXPECT_EQ(plan.Counts().booksAdded, 3);
    const std::vector<import_test::BookRow> books = Books();
    const auto* thorgal = Find(books, "THORGAL", "12");
    ASSERT_NE(thorgal, nullptr);
    EXPECT_EQ(thorgal->publisher, "LE LOMBARD");
    EXPECT_EQ(thorgal->title, "La Cité du dieu perdu");
    EXPECT_EQ(thorgal->artist, "Grzegorz Rosinski");  // ń is not in the code page
    EXPECT_DOUBLE_EQ(thorgal->paid, 9.5);
    EXPECT_TRUE(thorgal->autograph);
    EXPECT_EQ(thorgal->note, "Première édition, coin corné");
    EXPECT_NE(Find(books, "THORGAL", "Annual 3"), nullptr);
    const auto* blake = Find(books, "BLAKE ET MORTIMER", "1");
    ASSERT_NE(blake, nullptr);
    EXPECT_EQ(blake->writer, "Edgar P. Jacobs, Jean Van Hamme");
    EXPECT_DOUBLE_EQ(blake->paid, 4.0);
}

TEST_F(ImportTest, XmlInAnEightBitCodePageIsDecoded) {
    // An older GCstar saved its collections in the system's code page.
    WriteFile(file("old.gcs"),
              "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n"
              "<collection type=\"GCcomics\"><item series=\"Ast\xe9rix\" volume=\"1\" "
              "cost=\"9,50 \x80\" title=\"\x93Le Gaulois\x94\"/></collection>\n");
    Import(file("old.gcs"), false);
    const std::vector<import_test::BookRow> books = Books();
    const auto* asterix = Find(books, "ASTÉRIX", "1");
    ASSERT_NE(asterix, nullptr);
    EXPECT_EQ(asterix->title, "\u201cLe Gaulois\u201d");
    EXPECT_DOUBLE_EQ(asterix->paid, 9.5);
}

TEST_F(ImportTest, ComicRackDatabaseAndComicFilesShareTheirFields) {
    WriteFile(file("ComicDb.xml"), R"(<?xml version="1.0"?>
<ComicDatabase xmlns:xsd="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" Id="0c3d">
  <Books>
    <Book Id="8a1f" File="C:\Comics\Saga\Saga 001 (2012).cbz">
      <Series>Saga</Series><Number>1</Number><Volume>2012</Volume><Year>2012</Year>
      <Writer>Brian K. Vaughan</Writer><Penciller>Fiona Staples</Penciller>
      <Publisher>Image</Publisher><Notes>Scraped 2015-02-01</Notes>
      <Added>2015-02-01T10:11:12</Added>
    </Book>
    <Book Id="8a20">
      <Series>Saga</Series><Number>12A</Number><Volume>2012</Volume>
      <Publisher>Image</Publisher>
    </Book>
  </Books>
  <Lists><ComicListItemFolder Name="Lists"/></Lists>
</ComicDatabase>
)");
    EXPECT_EQ(import::DetectFormat(file("ComicDb.xml")), import::Format::ComicRack);
    Import(file("ComicDb.xml"));
    QDir().mkpath(file("cbz"));
    WriteZip(file("cbz/Saga 013.cbz"), {{"ComicInfo.xml", R"(<?xml version="1.0"?>
<ComicInfo xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xmlns:xsd="http://www.w3.org/2001/XMLSchema">
  <Title>Chapter Thirteen</Title><Series>Saga</Series><Number>13</Number><Volume>2012</Volume>
  <Writer>Brian K. Vaughan</Writer><Penciller>Fiona Staples</Penciller><Publisher>Image</Publisher>
</ComicInfo>)"},
                                        {"01.jpg", "image"}});
    WriteZip(file("cbz/Scans only.cbz"), {{"01.jpg", "image"}});
    EXPECT_EQ(import::DetectFormat(file("cbz")), import::Format::ComicFiles);
    const import::ImportPlan plan = Import(file("cbz"));
    ASSERT_EQ(plan.Refusals().size(), 1u);
    EXPECT_TRUE(plan.Refusals()[0].origin.endsWith("Scans only.cbz"));
    EXPECT_EQ(plan.Refusals()[0].reason, "no ComicInfo.xml in the archive");

    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), 3u);
    const auto* one = Find(books, "SAGA", "1");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->edition, "Vol. 2012");
    EXPECT_EQ(one->writer, "Brian K. Vaughan");
    EXPECT_EQ(one->artist, "Fiona Staples");
    EXPECT_EQ(one->note, "Scraped 2015-02-01");
    EXPECT_EQ(Find(books, "SAGA", "13")->title, "Chapter Thirteen");
    EXPECT_EQ(Owned(), (std::map<QString, std::int64_t>{{"SAGA (IMAGE)", 3}}));
}

TEST_F(ImportTest, CsvInWindows1252WithSemicolonsIsGuessedAndMapped) {
    // As a spreadsheet saves it on Windows: code page 1252, ';' between
    // fields, quoted fields holding the delimiter, a quote and a line break.
    WriteFile(
        file("list.csv"),
        "Series;Publisher;Issue Number;Title;Qty;Price Paid;Condition;Storage Location;Remarks\r\n"
        "Spawn;Image;1;\"Questions; answers\";2;\"1.234,50\";9.4;Box 1;x\r\n"
        "Spawn;Image;2;\"He said \"\"no\"\"\r\nthen left\";1;\xA3 3.00;VG;Box 1;\r\n"
        "Spawn;Image;1;;1;;;;\r\n"
        "\r\n"
        "Caf\xE9;;#1;;;;Fine;;\r\n");
    const import::CsvLayout layout = import::SniffCsv(file("list.csv"));
    EXPECT_EQ(layout.delimiter, QChar(';'));
    EXPECT_EQ(layout.encoding, "Windows-1252");
    EXPECT_EQ(layout.header.size(), 9);
    const import::ColumnMap guess = import::GuessColumns(layout.header);
    EXPECT_EQ(guess, (import::ColumnMap{{import::Target::Series, "Series"},
                                        {import::Target::Publisher, "Publisher"},
                                        {import::Target::Issue, "Issue Number"},
                                        {import::Target::Title, "Title"},
                                        {import::Target::Quantity, "Qty"},
                                        {import::Target::Paid, "Price Paid"},
                                        {import::Target::Condition, "Condition"},
                                        {import::Target::Location, "Storage Location"}}));
    import::ColumnMap columns = guess;
    columns[import::Target::Notes] = "Remarks";
    import::SaveColumnMap(columns, file("list.map"));
    EXPECT_EQ(import::LoadColumnMap(file("list.map")), columns);

    const import::ImportPlan plan =
        Import(file("list.csv"), false, import::LoadColumnMap(file("list.map")));
    EXPECT_EQ(plan.Counts().duplicates, 1);
    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), 3u);
    const auto* one = Find(books, "SPAWN", "1");
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->qty, 3);  // listed twice: 2 + 1
    EXPECT_EQ(one->title, "Questions; answers");
    EXPECT_DOUBLE_EQ(one->paid, 1234.5);
    EXPECT_EQ(one->perc, 95);
    EXPECT_EQ(one->location, "Box 1");
    EXPECT_EQ(one->note, "x");
    const auto* two = Find(books, "SPAWN", "2");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->title, "He said \"no\" then left");
    EXPECT_DOUBLE_EQ(two->paid, 3.0);
    EXPECT_EQ(two->perc, 55);
    const auto* cafe = Find(books, QString::fromUtf8("CAFÉ"), "#1");
    ASSERT_NE(cafe, nullptr);
    EXPECT_EQ(cafe->perc, 75);
    EXPECT_EQ(Owned()["SPAWN (IMAGE)"], 4);
}

TEST_F(ImportTest, LargeCsvFileKeepsEachRowsOwnValues) {
    // Thousands of short values, each its own: none may come back as another
    // row's value of the same field.
    constexpr int kRows = 5000;
    QByteArray csv = "Series,Issue,Writer\n";
    for (int i = 1; i <= kRows; ++i)
        csv += QStringLiteral("S%1,%2,W%2\n").arg(i % 7).arg(i).toUtf8();
    WriteFile(file("big.csv"), csv);
    EXPECT_EQ(Import(file("big.csv")).Counts().booksAdded, kRows);
    const std::vector<import_test::BookRow> books = Books();
    ASSERT_EQ(books.size(), std::size_t{kRows});
    for (const import_test::BookRow& book : books) {
        const int issue = book.comicNo.trimmed().toInt();
        ASSERT_EQ(book.writer, QStringLiteral("W%1").arg(issue));
        ASSERT_EQ(book.series, QStringLiteral("S%1").arg(issue % 7));
    }
}

TEST_F(ImportTest, MapFileWithAnUnknownFieldNamesItsLine) {
    WriteFile(file("bad.map"), "# columns\nSERIES=Series\nPRICE=Price Paid\n");
    const std::string message =
        import_test::ImportErrorOf([&] { import::LoadColumnMap(file("bad.map")); });
    EXPECT_NE(message.find("bad.map line 3: \"PRICE=Price Paid\" is not FIELD=column"),
              std::string::npos)
        << message;
}

}  // namespace
