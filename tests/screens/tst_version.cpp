// Version reader: the data built into this very program, hand-made blocks, and damaged files.
#include "VersionInfo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <utility>
#include <vector>

namespace {

// The marker, assembled at run time so that this program's constants never contain it.
QByteArray Marker()
{
    return QByteArray("Rotaconf") + QByteArray("Version") + QByteArray(1, '\x01');
}

void PutU16(QByteArray &out, unsigned v)
{
    out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF));
}

void PutU32(QByteArray &out, quint32 v)
{
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

void PutText(QByteArray &out, const QByteArray &text)
{
    PutU16(out, unsigned(text.size()));
    out.append(text);
}

using Table = std::pair<QByteArray, std::vector<std::pair<QByteArray, QByteArray>>>;

// A block as the build lays it out: translations, then string tables keyed by language and code page.
QByteArray Block(const std::vector<std::pair<unsigned, unsigned>> &translations, const std::vector<Table> &tables)
{
    QByteArray payload;
    PutU16(payload, unsigned(translations.size()));
    for (const auto &[language, codePage] : translations) {
        PutU16(payload, language);
        PutU16(payload, codePage);
    }
    PutU16(payload, unsigned(tables.size()));
    for (const auto &[key, values] : tables) {
        PutText(payload, key);
        PutU16(payload, unsigned(values.size()));
        for (const auto &[name, text] : values) {
            PutText(payload, name);
            PutText(payload, text);
        }
    }
    quint32 hash = 2166136261u;
    for (char c : payload)
        hash = (hash ^ quint8(c)) * 16777619u;
    QByteArray block = Marker();
    PutU32(block, quint32(payload.size()));
    PutU32(block, hash);
    return block + payload;
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestVersionInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsBuiltProgram();
    void labelCutsAtLastDot_data();
    void labelCutsAtLastDot();
    void firstTranslationAndMissingValues();
    void filesWithoutData();
    void truncatedBlockNeverParses();
    void garbledBlockNeverParses();
    void damagedCandidateIsSkipped();
    void fileDate();

private:
    QString Write(const QString &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
    QByteArray m_program;    // this program's file
    qsizetype m_blockAt = -1; // where its version data starts
    qsizetype m_blockSize = 0;
};

QString TestVersionInfo::Write(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestVersionInfo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_program = ReadAll(ProgramFileName());
    QVERIFY(!m_program.isEmpty());
    // The block in the program's own section (debug information may hold a copy further on).
    for (qsizetype at = m_program.indexOf(Marker()); at >= 0 && m_blockAt < 0;
         at = m_program.indexOf(Marker(), at + 1)) {
        if (at + 24 > m_program.size())
            break;
        const auto *size = reinterpret_cast<const uchar *>(m_program.constData() + at + 16);
        const qsizetype blockSize = 24 + qsizetype(size[0] | size[1] << 8 | size[2] << 16 | size[3] << 24);
        TVersionTexts texts;
        if (blockSize <= m_program.size() - at &&
            ReadVersionInfo(Write(QStringLiteral("slice"), m_program.mid(at, blockSize)), texts)) {
            m_blockAt = at;
            m_blockSize = blockSize;
        }
    }
    QVERIFY(m_blockAt >= 0);
}

void TestVersionInfo::readsBuiltProgram()
{
    QStringList programs{ProgramFileName()};
    // Rotaconf itself, when it was built beside the tests.
    const QString rotaconf = QCoreApplication::applicationDirPath() + QStringLiteral("/rotaconf");
    if (QFileInfo::exists(rotaconf))
        programs << rotaconf;
    for (const QString &program : programs) {
        TVersionTexts texts;
        QVERIFY2(ReadVersionInfo(program, texts), qPrintable(program));
        QCOMPARE(texts.FileVersion, QStringLiteral("1.1.6.0"));
        QCOMPARE(texts.ProductVersion, QStringLiteral("1.1.6.0"));
        QCOMPARE(texts.ProductName, QStringLiteral("Rotaconf"));
        QCOMPARE(texts.OriginalFilename, QStringLiteral("rotaconf"));
        QCOMPARE(texts.LanguageName, QStringLiteral("German (Germany)"));
        QVERIFY(texts.LegalCopyright.contains(QStringLiteral("Copyright")));
        QVERIFY(!texts.CompanyName.isEmpty());
        QVERIFY(!texts.Comments.isEmpty());
        QCOMPARE(texts.LegalTrademarks, QString());

        QString status;
        QVERIFY(ReadVersionValue(program, QStringLiteral("Status"), status));
        QVERIFY(!status.isEmpty());
        QString missing = QStringLiteral("stale");
        QVERIFY(ReadVersionValue(program, QStringLiteral("NoSuchValue"), missing));
        QCOMPARE(missing, QString());
        QCOMPARE(VersionLabelText(program), QStringLiteral("1.1.6"));
    }
}

void TestVersionInfo::labelCutsAtLastDot_data()
{
    QTest::addColumn<QByteArray>("fileVersion");
    QTest::addColumn<QString>("label");
    QTest::newRow("four parts") << QByteArray("1.1.6.0") << QStringLiteral("1.1.6");
    QTest::newRow("no dot") << QByteArray("7") << QStringLiteral("7");
    QTest::newRow("trailing dot") << QByteArray("2.") << QStringLiteral("2");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("long parts") << QByteArray("10.20.300.4000") << QStringLiteral("10.20.300");
}

void TestVersionInfo::labelCutsAtLastDot()
{
    QFETCH(QByteArray, fileVersion);
    QFETCH(QString, label);
    QCOMPARE(CutVersion(QString::fromLatin1(fileVersion)), label);
    const QString path =
        Write(QStringLiteral("label"), QByteArray(100, 'x') +
                                           Block({{0x0409, 0x04E4}}, {{"040904E4", {{"FileVersion", fileVersion}}}}) +
                                           QByteArray(100, 'y'));
    QCOMPARE(VersionLabelText(path), label);
}

// The first language of the translation table picks the string table; values it lacks are empty.
void TestVersionInfo::firstTranslationAndMissingValues()
{
    const QByteArray block = Block({{0x0409, 0x04E4}, {0x0407, 0xFDE9}},
                                   {{"0407FDE9", {{"ProductName", "Deutsch"}, {"FileVersion", "9.9"}}},
                                    {"040904e4", {{"ProductName", "English \xE9"}, {"Status", "Beta"}}}});
    const QString path = Write(QStringLiteral("two"), block);
    TVersionTexts texts;
    QVERIFY(ReadVersionInfo(path, texts));
    QCOMPARE(texts.ProductName, QStringLiteral("English \u00E9")); // code page 1252
    QCOMPARE(texts.FileVersion, QString());
    QCOMPARE(texts.LanguageName, QStringLiteral("English (United States)"));
    QString status;
    QVERIFY(ReadVersionValue(path, QStringLiteral("Status"), status));
    QCOMPARE(status, QStringLiteral("Beta"));
    QCOMPARE(VersionLabelText(path), QString());
}

void TestVersionInfo::filesWithoutData()
{
    QByteArray garbage;
    quint32 seed = 12345;
    for (int i = 0; i < 65536; ++i) {
        seed = seed * 1103515245u + 12345u;
        garbage.append(char(seed >> 24));
    }
    const QStringList paths{Write(QStringLiteral("garbage"), garbage), Write(QStringLiteral("empty"), QByteArray()),
                            Write(QStringLiteral("marker-only"), Marker()),
                            Write(QStringLiteral("no-translation"), Block({}, {})),
                            m_dir.filePath(QStringLiteral("missing")), m_dir.path()};
    for (const QString &path : paths) {
        TVersionTexts texts;
        texts.ProductName = QStringLiteral("stale");
        QVERIFY2(!ReadVersionInfo(path, texts), qPrintable(path));
        QCOMPARE(texts.ProductName, QString());
        QString value = QStringLiteral("stale");
        QVERIFY(!ReadVersionValue(path, QStringLiteral("FileVersion"), value));
        QCOMPARE(value, QString());
        QCOMPARE(VersionLabelText(path), QString());
    }
}

// Every cut inside the block leaves no readable block (and no read past the end of the file).
void TestVersionInfo::truncatedBlockNeverParses()
{
    const QByteArray block = m_program.mid(m_blockAt, m_blockSize);
    const QByteArray before = m_program.mid(qMax<qsizetype>(0, m_blockAt - 64), qMin<qsizetype>(64, m_blockAt));
    TVersionTexts whole;
    QVERIFY(ReadVersionInfo(Write(QStringLiteral("whole"), before + block), whole));
    QCOMPARE(whole.ProductName, QStringLiteral("Rotaconf"));
    for (qsizetype cut = 0; cut < block.size(); ++cut) {
        TVersionTexts texts;
        const QString path = Write(QStringLiteral("cut"), before + block.left(cut));
        QVERIFY2(!ReadVersionInfo(path, texts), qPrintable(QStringLiteral("cut at %1").arg(cut)));
    }
}

// Any single damaged byte of the block is noticed rather than shown.
void TestVersionInfo::garbledBlockNeverParses()
{
    const QByteArray block = m_program.mid(m_blockAt, m_blockSize);
    for (qsizetype at = 0; at < block.size(); ++at) {
        QByteArray damaged = block;
        damaged[at] = char(damaged[at] ^ 0x5A);
        TVersionTexts texts;
        QVERIFY2(!ReadVersionInfo(Write(QStringLiteral("garbled"), damaged), texts),
                 qPrintable(QStringLiteral("byte %1").arg(at)));
    }
    // A size far beyond the file.
    QByteArray huge = block;
    huge[16] = huge[17] = huge[18] = huge[19] = '\xFF';
    TVersionTexts texts;
    QVERIFY(!ReadVersionInfo(Write(QStringLiteral("huge"), huge), texts));
}

// A damaged look-alike before the real block does not hide it.
void TestVersionInfo::damagedCandidateIsSkipped()
{
    const QByteArray block = m_program.mid(m_blockAt, m_blockSize);
    const QByteArray decoy = Marker() + QByteArray(8, '\xFF') + "junk";
    TVersionTexts texts;
    QVERIFY(ReadVersionInfo(Write(QStringLiteral("decoy"), decoy + block.left(30) + block), texts));
    QCOMPARE(texts.FileVersion, QStringLiteral("1.1.6.0"));
}

void TestVersionInfo::fileDate()
{
    const QString path = Write(QStringLiteral("dated"), QByteArray("x"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2001, 9, 27), QTime(0, 0, 1)), QFileDevice::FileModificationTime));
    file.close();
    QDate date;
    QVERIFY(ReadFileDate(path, date));
    QCOMPARE(date, QDate(2001, 9, 27));

    QDate untouched(1999, 1, 1);
    QVERIFY(!ReadFileDate(m_dir.filePath(QStringLiteral("missing")), untouched));
    QCOMPARE(untouched, QDate(1999, 1, 1));
}

QTEST_MAIN(TestVersionInfo)
#include "tst_version.moc"
