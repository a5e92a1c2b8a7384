// XML persistence of published properties: every kind round trips, bad input
// keeps what it can, and a save never leaves a broken file.

#include "TestSupport.h"

#include "VGTypes.h"
#include "ZelFloat.h"
#include "Zelfunction.h"
#include "BaseProj.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QStringDecoder>
#include <gtest/gtest.h>
#include <unistd.h>

class TInner : public TProjObj {
    Q_OBJECT
    Q_PROPERTY(int Value MEMBER Value)
    Q_PROPERTY(QString Name MEMBER Name)
public:
    Q_INVOKABLE explicit TInner(QObject* AOwner = nullptr) : TProjObj(AOwner) {}
    int Value = 1;
    QString Name = QStringLiteral("in");
};

class TItemA : public TProjObj {
    Q_OBJECT
    Q_PROPERTY(int A MEMBER A)
public:
    Q_INVOKABLE explicit TItemA(QObject* AOwner = nullptr) : TProjObj(AOwner) {}
    int A = 0;
};

// Ancestor's properties come first.
class TItemB : public TItemA {
    Q_OBJECT
    Q_PROPERTY(QString B MEMBER B)
    Q_PROPERTY(TInner* Sub MEMBER Sub)
public:
    Q_INVOKABLE explicit TItemB(QObject* AOwner = nullptr) : TItemA(AOwner) { CreateSubObjects(); }
    QString B;
    TInner* Sub = nullptr;
};

class TItemList : public TBaseObjList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TItemList(QObject* AOwner = nullptr) : TBaseObjList(AOwner) {}
};

class TEverything : public TBaseConfig {
    Q_OBJECT
    Q_PROPERTY(int Int MEMBER Int)
    Q_PROPERTY(VG::TSizeStyle Size MEMBER Size)
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(QByteArray Ansi MEMBER Ansi)
    Q_PROPERTY(QString Wide MEMBER Wide)
    Q_PROPERTY(VG::TFontStyles Styles MEMBER Styles)
    Q_PROPERTY(qint64 Big MEMBER Big)
    Q_PROPERTY(TInner* Inner MEMBER Inner)
    Q_PROPERTY(TItemList* Items MEMBER Items)
    Q_PROPERTY(QObject* Other MEMBER Other)
public:
    Q_INVOKABLE explicit TEverything(QObject* AOwner = nullptr) : TBaseConfig(AOwner) { CreateSubObjects(); }
    int Int = 5;
    TSizeStyle Size = ssHalf;
    bool Flag = true;
    double Ratio = 1.0;
    QByteArray Ansi = "a";
    QString Wide = QStringLiteral("w");
    TFontStyles Styles;
    qint64 Big = 0;
    TInner* Inner = nullptr;
    TItemList* Items = nullptr;
    QObject* Other = nullptr;   // not a persistent class: neither created nor stored
    int AfterLoads = 0;

protected:
    void AfterLoad() override { ++AfterLoads; }
};

REGISTER_PERSISTENT_CLASS(TItemA)
REGISTER_PERSISTENT_CLASS(TItemB)

namespace {

QString ReadUtf16File(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    if (!bytes.startsWith("\xFF\xFE"))
        return QStringLiteral("<no BOM>");
    QStringDecoder dec(QStringConverter::Utf16LE);
    return dec.decode(bytes.mid(2));
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteUtf8File(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// A file holding Config with the given inner elements.
QString ConfigFile(const QString& dir, const QString& inner, const QString& root = QStringLiteral("Config"))
{
    const QString path = dir + QStringLiteral("c.xml");
    WriteUtf8File(path, QStringLiteral("<?xml version=\"1.0\"?><%1 project=\"x\">%2</%1>").arg(root, inner));
    return path;
}

struct DecimalComma {
    DecimalComma() { SetDecimalSeparatorSource([] { return QChar(','); }); }
    ~DecimalComma() { SetDecimalSeparatorSource({}); }
};

}  // namespace

TEST(Persist, SubObjectsExistAndAreOwnedFromConstruction)
{
    TEverything e;
    ASSERT_NE(e.Inner, nullptr);
    ASSERT_NE(e.Items, nullptr);
    EXPECT_EQ(e.Inner->Owner(), &e);
    EXPECT_EQ(e.Items->Owner(), &e);
    EXPECT_EQ(e.Other, nullptr);
    TItemB b;
    ASSERT_NE(b.Sub, nullptr);
    EXPECT_EQ(b.Sub->Owner(), &b);

    // Sub-objects die with their owner.
    QPointer<TInner> inner;
    {
        TEverything tmp;
        inner = tmp.Inner;
    }
    EXPECT_TRUE(inner.isNull());
}

TEST(Persist, EveryKindRoundTrips)
{
    const QString dir = MakeTempDir("persist");
    TEverything e;
    e.FileName = dir + "all.xml";
    e.Int = -123456;
    e.Size = ssQuarter;
    e.Flag = false;
    e.Ratio = 0.1;
    e.Ansi = QStringLiteral("Grüße").toUtf8();
    e.Wide = QStringLiteral("日本語 Ünïcode \U0001F600 <&> \"q\" line\nbreak");
    e.Styles = fsBold | fsStrikeOut;
    e.Big = (qint64(1) << 40) + 3;
    e.Inner->Value = 77;
    e.Inner->Name = QStringLiteral("   ");  // blanks only survive too
    auto* a = new TItemA;
    a->A = 4;
    e.Items->Add(a);
    auto* b = new TItemB;
    b->A = 5;
    b->B = QStringLiteral("bee");
    b->Sub->Value = 9;
    e.Items->Add(b);
    ASSERT_TRUE(e.SaveConfig(false));

    TEverything r;
    r.FileName = e.FileName;
    r.Inner->Value = 0;
    r.LoadConfig();
    EXPECT_TRUE(r.Loaded());
    EXPECT_EQ(r.AfterLoads, 1);
    EXPECT_TRUE(r.Modified);
    EXPECT_EQ(r.Int, -123456);
    EXPECT_EQ(r.Size, ssQuarter);
    EXPECT_FALSE(r.Flag);
    EXPECT_DOUBLE_EQ(r.Ratio, 0.1);
    EXPECT_EQ(r.Ansi, e.Ansi);
    EXPECT_EQ(r.Wide, e.Wide);
    EXPECT_EQ(r.Styles, fsBold | fsStrikeOut);
    EXPECT_EQ(r.Big, e.Big);
    EXPECT_EQ(r.Inner->Value, 77);
    EXPECT_EQ(r.Inner->Name, QStringLiteral("   "));
    ASSERT_EQ(r.Items->Count(), 2);
    ASSERT_NE(r.Items->ItemAs<TItemA>(0), nullptr);
    EXPECT_EQ(r.Items->Items(0)->metaObject(), &TItemA::staticMetaObject);
    EXPECT_EQ(r.Items->ItemAs<TItemA>(0)->A, 4);
    auto* rb = r.Items->ItemAs<TItemB>(1);
    ASSERT_NE(rb, nullptr);
    EXPECT_EQ(rb->A, 5);
    EXPECT_EQ(rb->B, QStringLiteral("bee"));
    EXPECT_EQ(rb->Sub->Value, 9);
    EXPECT_EQ(rb->Owner(), r.Items);

    // A second load does nothing.
    r.Int = 1;
    r.LoadConfig();
    EXPECT_EQ(r.Int, 1);
    EXPECT_EQ(r.AfterLoads, 1);
}

TEST(Persist, LayoutOfNestedObjectsAndLists)
{
    const QString dir = MakeTempDir("layout");
    TEverything e;
    e.FileName = dir + "layout.xml";
    e.Ansi.clear();
    e.Styles = fsBold | fsItalic;
    e.Ratio = 0.5;
    e.Wide = QStringLiteral("a<b&c");
    auto* b = new TItemB;
    b->A = 3;
    e.Items->Add(b);
    ASSERT_TRUE(e.SaveConfig(true));
    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
        "<Config project=\"ProjName\" version=\"%1\">\n"
        "  <Int>5</Int>\n"
        "  <Size>ssHalf</Size>\n"
        "  <Flag>True</Flag>\n"
        "  <Ratio>0.5</Ratio>\n"
        "  <Ansi/>\n"
        "  <Wide>a&lt;b&amp;c</Wide>\n"
        "  <Styles>fsBold,fsItalic</Styles>\n"
        "  <Big>0</Big>\n"
        "  <Inner>\n"
        "    <Value>1</Value>\n"
        "    <Name>in</Name>\n"
        "  </Inner>\n"
        "  <Items>\n"
        "    <TItemB>\n"
        "      <A>3</A>\n"
        "      <B/>\n"
        "      <Sub>\n"
        "        <Value>1</Value>\n"
        "        <Name>in</Name>\n"
        "      </Sub>\n"
        "    </TItemB>\n"
        "  </Items>\n"
        "</Config>\n").arg(GetProVersion(true));
    EXPECT_EQ(ReadUtf16File(e.FileName), expected);
}

TEST(Persist, BadValuesKeepOrZeroAndUnknownElementsAreSkipped)
{
    const QString dir = MakeTempDir("bad");
    TEverything e;
    e.Styles = fsUnderline;
    e.FileName = ConfigFile(dir,
        "<Nope>1</Nope><Int>abc</Int><Size>ssHuge</Size><Flag>maybe</Flag>"
        "<Ratio>x</Ratio><Wide/><Styles>fsBold,fsNope</Styles><Big>12z</Big>"
        "<Inner><Value/><Extra><Deep>1</Deep></Extra></Inner><Other>1</Other>"
        "<objectName>hacked</objectName>");
    e.LoadConfig();
    EXPECT_TRUE(e.Loaded());
    EXPECT_EQ(e.Int, 0);
    EXPECT_EQ(e.Size, ssHalf);
    EXPECT_TRUE(e.Flag);
    EXPECT_EQ(e.Ratio, 0.0);
    EXPECT_EQ(e.Wide, QString());
    EXPECT_EQ(e.Styles, TFontStyles(fsUnderline));
    EXPECT_EQ(e.Big, 0);
    EXPECT_EQ(e.Inner->Value, 0);
    EXPECT_EQ(e.Other, nullptr);
    EXPECT_TRUE(e.objectName().isEmpty());
    EXPECT_EQ(e.Ansi, QByteArray("a"));  // absent: keeps its value

    // Other accepted forms; the later of two elements wins.
    TEverything f;
    f.FileName = ConfigFile(dir,
        "<Styles>[fsItalic, fsBold]</Styles><Size>ssCustom</Size><Size>ssOriginal</Size>"
        "<Flag>false</Flag><Int> 42 </Int><Int>99999999999</Int><Ratio>2,25</Ratio>");
    f.LoadConfig();
    EXPECT_EQ(f.Styles, fsBold | fsItalic);
    EXPECT_EQ(f.Size, ssOriginal);
    EXPECT_FALSE(f.Flag);
    EXPECT_EQ(f.Int, 0);  // out of range for an int
    EXPECT_DOUBLE_EQ(f.Ratio, 2.25);

    // An empty set element empties the set.
    TEverything g;
    g.Styles = fsBold;
    g.FileName = ConfigFile(dir, "<Styles/><Int> 42 </Int>");
    g.LoadConfig();
    EXPECT_EQ(g.Styles, TFontStyles());
    EXPECT_EQ(g.Int, 42);
}

TEST(Persist, DecimalCommaSystemWritesAndReadsBack)
{
    const QString dir = MakeTempDir("comma");
    TEverything e;
    e.FileName = dir + "comma.xml";
    e.Ratio = 0.5;
    {
        DecimalComma comma;
        EXPECT_EQ(FloatToStrSys(0.5), QStringLiteral("0,5"));
        ASSERT_TRUE(e.SaveConfig(false));
    }
    EXPECT_TRUE(ReadUtf16File(e.FileName).contains(QStringLiteral("<Ratio>0,5</Ratio>")));
    TEverything r;
    r.FileName = e.FileName;
    r.LoadConfig();  // read on a decimal-point system
    EXPECT_DOUBLE_EQ(r.Ratio, 0.5);
}

TEST(Persist, FloatText)
{
    EXPECT_EQ(FloatToStrSys(1.0), QStringLiteral("1"));
    EXPECT_EQ(FloatToStrSys(0.5), QStringLiteral("0.5"));
    EXPECT_EQ(FloatToStrSys(-2.25), QStringLiteral("-2.25"));
    EXPECT_EQ(FloatToStrSys(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(FloatToStrSys(1.0 / 3), QStringLiteral("0.333333333333333"));
    for (double v : {1.0, 0.5, 1.0 / 3, 1e20, -1e-7, 123456.789})
        EXPECT_DOUBLE_EQ(StrToFloatDefEx(FloatToStrSys(v), 7), std::stod(QString::number(v, 'g', 15).toStdString()));
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QStringLiteral("0,5"), 7), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QStringLiteral(" 2 "), 7), 2.0);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QStringLiteral("1,000.5"), 7), 7.0);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QStringLiteral("abc"), 7), 7.0);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QString(), 7), 7.0);
    EXPECT_DOUBLE_EQ(StrToFloatDefEx(QStringLiteral("inf"), 7), 7.0);
}

TEST(Persist, DamagedFileKeepsWhatWasReadBeforeTheDamage)
{
    const QString dir = MakeTempDir("damaged");
    TEverything e;
    e.FileName = ConfigFile(dir,
        "<Int>7</Int><Items><TItemA><A>1</A></TItemA><TNoSuchClass/><TItemA/></Items><Wide>late</Wide>");
    e.LoadConfig();
    EXPECT_FALSE(e.Loaded());
    EXPECT_EQ(e.AfterLoads, 0);
    EXPECT_EQ(e.Int, 7);
    EXPECT_EQ(e.Wide, QStringLiteral("w"));
    ASSERT_EQ(e.Items->Count(), 1);
    EXPECT_EQ(e.Items->ItemAs<TItemA>(0)->A, 1);
    // The failed load leaves change reporting working.
    EXPECT_FALSE(e.Loading);
    EXPECT_FALSE(e.Items->Loading);
    e.Modified = false;
    e.Items->Add(new TItemA);
    EXPECT_TRUE(e.Modified);
}

TEST(Persist, UnparsableFileChangesNothingAndRootNameIsNotChecked)
{
    const QString dir = MakeTempDir("unparsable");
    TEverything e;
    const QString path = dir + "broken.xml";
    WriteUtf8File(path, "<?xml version=\"1.0\"?><Config><Int>7</Int><Wide>half");
    e.FileName = path;
    e.LoadConfig();
    EXPECT_FALSE(e.Loaded());
    EXPECT_EQ(e.Int, 5);
    EXPECT_FALSE(e.Modified);

    // Not loaded yet, so a repaired file is read by the next call.
    e.FileName = ConfigFile(dir, "<Int>3</Int>", "Settings");
    e.LoadConfig();
    EXPECT_TRUE(e.Loaded());
    EXPECT_EQ(e.Int, 3);

    TEverything missing;
    missing.FileName = dir + "none.xml";
    missing.LoadConfig();
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(missing.Int, 5);
}

TEST(Persist, SaveThatWouldNotParseBackIsRefused)
{
    const QString dir = MakeTempDir("refuse");
    TEverything e;
    e.FileName = dir + "keep.xml";
    ASSERT_TRUE(e.SaveConfig(false));
    const QByteArray before = ReadBytes(e.FileName);

    e.Wide = QStringLiteral("bad") + QChar(1);  // no XML 1.0 document may hold it
    EXPECT_FALSE(e.SaveConfig(true));
    try {
        e.SaveConfig(false);
        ADD_FAILURE() << "no error raised";
    } catch (const EZelError& err) {
        EXPECT_EQ(err.Message, QStringLiteral("error occurs when save xml file."));
    }
    EXPECT_EQ(ReadBytes(e.FileName), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"keep.xml"});

    EXPECT_FALSE(TBaseConfig::IsLoadableXML({}));
    EXPECT_FALSE(TBaseConfig::IsLoadableXML("<a>"));
    EXPECT_TRUE(TBaseConfig::IsLoadableXML(ReadBytes(e.FileName)));
}

TEST(Persist, WriteErrorReachesTheCallerEvenWhenSilent)
{
    const QString dir = MakeTempDir("writeerr");
    TEverything e;
    e.FileName = dir + "no/such/folder/x.xml";
    EXPECT_THROW(e.SaveConfig(true), EZelError);

    // A read-only folder: the old file stays and no temporary file is left.
    e.FileName = dir + "ro.xml";
    ASSERT_TRUE(e.SaveConfig(true));
    const QByteArray before = ReadBytes(e.FileName);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    e.Int = 1234;
    bool raised = false;
    try {
        e.SaveConfig(true);
    } catch (const EZelError& err) {
        raised = true;
        EXPECT_TRUE(err.Message.contains(e.FileName)) << err.Message.toStdString();
    }
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_TRUE(raised);
    }
    if (raised) {
        EXPECT_EQ(ReadBytes(e.FileName), before);
    }
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"ro.xml"});
}

TEST(Persist, ListOperationsFreeAndNotify)
{
    QStringList freed;  // outlives the items
    TEverything e;
    int changes = 0;
    e.OnChange = [&](QObject* sender) {
        EXPECT_EQ(sender, &e);
        ++changes;
    };
    QList<QPointer<TItemA>> items;
    for (int i = 0; i < 4; ++i) {
        auto* a = new TItemA;
        a->A = i;
        QObject::connect(a, &QObject::destroyed, [&freed, i] { freed << QString::number(i); });
        items << a;
        EXPECT_EQ(e.Items->Add(a), i);
        EXPECT_EQ(a->Owner(), e.Items);
    }
    EXPECT_EQ(changes, 4);

    e.Items->Move(0, 3);  // 1 2 3 0
    e.Items->Exchange(0, 1);  // 2 1 3 0
    EXPECT_EQ(changes, 6);
    EXPECT_EQ(e.Items->ItemAs<TItemA>(0)->A, 2);
    EXPECT_EQ(e.Items->ItemAs<TItemA>(3)->A, 0);
    EXPECT_EQ(items[3]->IndexInOwner(), 2);

    e.Items->Delete(1);  // frees item 1
    EXPECT_TRUE(items[1].isNull());
    EXPECT_EQ(changes, 7);

    TProjObj* taken = e.Items->Extract(items[2]);  // 3 0
    ASSERT_EQ(taken, items[2].data());
    EXPECT_EQ(taken->Owner(), nullptr);
    EXPECT_EQ(e.Items->Count(), 2);
    delete taken;

    auto* gone = new TItemA;
    e.Items->Insert(0, gone);  // gone 3 0
    delete gone;  // freed directly: leaves the list
    EXPECT_EQ(e.Items->Count(), 2);

    items[3]->DeleteFromOwner();  // 0
    EXPECT_TRUE(items[3].isNull());
    e.Items->Add(new TItemA);
    freed.clear();
    e.Items->Clear();
    EXPECT_EQ(e.Items->Count(), 0);
    EXPECT_TRUE(items[0].isNull());
    EXPECT_EQ(freed, QStringList{"0"});

    EXPECT_THROW(e.Items->Items(0), EZelError);
    EXPECT_THROW(e.Items->Delete(-1), EZelError);
}

TEST(Persist, ClearFreesLastFirst)
{
    QStringList order;
    TItemList list;
    for (int i = 0; i < 3; ++i) {
        auto* a = new TItemA;
        QObject::connect(a, &QObject::destroyed, [&order, i] { order << QString::number(i); });
        list.Add(a);
    }
    list.Clear();
    EXPECT_EQ(order, (QStringList{"2", "1", "0"}));
}

TEST(Persist, ChangedClimbsToTheRootButNotWhileLoading)
{
    TEverything e;
    auto* b = new TItemB;
    e.Items->Add(b);
    QList<QObject*> senders;
    e.OnChange = [&](QObject* s) { senders << s; };
    b->OnChange = [&](QObject* s) { senders << s; };
    e.Modified = e.Items->Modified = b->Modified = false;
    b->Sub->Changed();
    EXPECT_TRUE(b->Sub->Modified);
    EXPECT_TRUE(b->Modified);
    EXPECT_TRUE(e.Items->Modified);
    EXPECT_TRUE(e.Modified);
    EXPECT_EQ(senders, (QList<QObject*>{b, &e}));

    senders.clear();
    e.Items->Loading = true;
    b->Changed();
    EXPECT_EQ(senders, QList<QObject*>{b});  // stops at the loading list
    e.Items->Loading = false;

    senders.clear();
    b->Loading = true;
    b->Changed();
    EXPECT_TRUE(senders.isEmpty());
    b->Loading = false;

    // Loading a list raises no change notification above it.
    senders.clear();
    QDomDocument doc;
    ASSERT_TRUE(doc.setContent(QByteArray("<Items><TItemA><A>2</A></TItemA></Items>")));
    e.Items->LoadFromXML(doc.documentElement());
    EXPECT_TRUE(senders.isEmpty());
    EXPECT_EQ(e.Items->Count(), 1);
}

TEST(Persist, AssignCopiesEverythingAndExactItemClasses)
{
    TEverything src;
    src.Int = 11;
    src.Size = ssCustom;
    src.Flag = false;
    src.Ratio = 0.1 + 0.2;  // by value: more digits than the text form keeps
    src.Wide = QStringLiteral("copy");
    src.Styles = fsItalic;
    src.Big = 99;
    src.Inner->Value = 5;
    auto* b = new TItemB;
    b->B = QStringLiteral("x");
    b->Sub->Name = QStringLiteral("deep");
    src.Items->Add(b);
    int calls = 0;
    src.OnChange = [&](QObject*) { ++calls; };

    TEverything dst;
    dst.Items->Add(new TItemA);
    dst.Assign(&src);
    EXPECT_EQ(dst.Int, 11);
    EXPECT_EQ(dst.Size, ssCustom);
    EXPECT_FALSE(dst.Flag);
    EXPECT_EQ(dst.Ratio, 0.1 + 0.2);
    EXPECT_EQ(dst.Wide, QStringLiteral("copy"));
    EXPECT_EQ(dst.Styles, TFontStyles(fsItalic));
    EXPECT_EQ(dst.Big, 99);
    EXPECT_EQ(dst.Inner->Value, 5);
    EXPECT_NE(dst.Inner, src.Inner);
    ASSERT_EQ(dst.Items->Count(), 1);
    auto* db = dst.Items->ItemAs<TItemB>(0);
    ASSERT_NE(db, nullptr);
    EXPECT_NE(db, b);
    EXPECT_EQ(db->B, QStringLiteral("x"));
    EXPECT_EQ(db->Sub->Name, QStringLiteral("deep"));
    EXPECT_EQ(db->Owner(), dst.Items);
    EXPECT_GT(calls, 0);  // OnChange came along and fired
}

#include "test_persist.moc"
