#include "keyword/keyword_string.h"

#include <QTest>

using namespace pictavo;

class TestKeywordString : public QObject
{
    Q_OBJECT

private slots:
    void split_data();
    void split();
    void extractKeyword_data();
    void extractKeyword();
    void join_data();
    void join();
    void joinThenSplit_data();
    void joinThenSplit();
    void cutToCharacters_data();
    void cutToCharacters();
};

void TestKeywordString::split_data()
{
    QTest::addColumn<QString>("keywordString");
    QTest::addColumn<QStringList>("keywords");

    QTest::newRow("two") << "cat,dog" << QStringList{"cat", "dog"};
    QTest::newRow("blanks around") << " cat , dog " << QStringList{"cat ", "dog"};
    QTest::newRow("empty between") << "cat,,dog" << QStringList{"cat", "", "dog"};
    QTest::newRow("leading comma") << ",cat" << QStringList{"", "cat"};
    QTest::newRow("trailing comma") << "cat," << QStringList{"cat"};
    QTest::newRow("blank then comma") << "cat, ," << QStringList{"cat", ""};
    QTest::newRow("blanks only") << "  " << QStringList{""};
    QTest::newRow("inner blank") << "New York" << QStringList{"New York"};
    QTest::newRow("star") << "*" << QStringList{"*"};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("tab and newline trimmed") << "\tcat\t,\ndog\r\n" << QStringList{"cat\t", "dog"};
    QTest::newRow("control chars trimmed") << QString("\x01"
                                                      "cat\x1f")
                                           << QStringList{"cat"};
    QTest::newRow("ideographic space kept")
        << QStringLiteral("\u3000cat,dog\u3000")
        << QStringList{QStringLiteral("\u3000cat"), QStringLiteral("dog\u3000")};
    QTest::newRow("no-break space kept")
        << QStringLiteral("\u00a0cat") << QStringList{QStringLiteral("\u00a0cat")};
    QTest::newRow("commas only") << ",," << QStringList{"", ""};
    QTest::newRow("blank comma blank") << " , " << QStringList{""};
    QTest::newRow("japanese") << QStringLiteral("猫,犬")
                              << QStringList{QStringLiteral("猫"), QStringLiteral("犬")};
    QTest::newRow("semicolon is no separator") << "a;b" << QStringList{"a;b"};
    QTest::newRow("quote kept") << "say \"hi\",x" << QStringList{"say \"hi\"", "x"};
}

void TestKeywordString::split()
{
    QFETCH(QString, keywordString);
    QFETCH(QStringList, keywords);
    QCOMPARE(splitKeywords(keywordString), keywords);

    QStringList stepped;
    forEachKeyword(keywordString, [&stepped](const QString &keyword) { stepped << keyword; });
    QCOMPARE(stepped, keywords);
}

void TestKeywordString::extractKeyword_data()
{
    QTest::addColumn<QString>("remaining");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QString>("rest");

    QTest::newRow("no separator") << "  cat  "
                                  << ","
                                  << "cat"
                                  << "";
    QTest::newRow("separator first") << " ,cat"
                                     << ","
                                     << ""
                                     << "cat";
    QTest::newRow("separator later") << " cat , dog"
                                     << ","
                                     << "cat "
                                     << " dog";
    QTest::newRow("rest not trimmed") << "a,  b  "
                                      << ","
                                      << "a"
                                      << "  b";
    QTest::newRow("longer separator") << "a; b;c"
                                      << "; "
                                      << "a"
                                      << "b;c";
    QTest::newRow("blanks only") << " \t "
                                 << ","
                                 << ""
                                 << "";
}

void TestKeywordString::extractKeyword()
{
    QFETCH(QString, remaining);
    QFETCH(QString, separator);
    QFETCH(QString, keyword);
    QFETCH(QString, rest);

    QString extracted = "stale";
    ExtractKeyword(remaining, separator, extracted);
    QCOMPARE(extracted, keyword);
    QCOMPARE(remaining, rest);
}

void TestKeywordString::join_data()
{
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QString>("joined");

    QTest::newRow("two") << QStringList{"cat", "dog"} << "cat,dog";
    QTest::newRow("one") << QStringList{"cat"} << "cat";
    QTest::newRow("none") << QStringList{} << "";
    QTest::newRow("empty first is dropped") << QStringList{"", "b"} << "b";
    QTest::newRow("empty later is kept") << QStringList{"a", "", "b"} << "a,,b";
    QTest::newRow("nothing trimmed") << QStringList{" a ", "b "} << " a ,b ";
}

void TestKeywordString::join()
{
    QFETCH(QStringList, keywords);
    QFETCH(QString, joined);
    QCOMPARE(JoinKeywords(keywords), joined);
}

void TestKeywordString::joinThenSplit_data()
{
    QTest::addColumn<QStringList>("keywords");
    QTest::newRow("plain") << QStringList{"cat", "dog", "New York"};
    QTest::newRow("one") << QStringList{"x"};
    QTest::newRow("trailing blank kept") << QStringList{"cat ", "dog"};
}

void TestKeywordString::joinThenSplit()
{
    QFETCH(QStringList, keywords);
    QCOMPARE(splitKeywords(JoinKeywords(keywords)), keywords);
}

void TestKeywordString::cutToCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("cut");

    const QString emoji = QStringLiteral("\U0001F431"); // two UTF-16 code units
    QTest::newRow("shorter") << "abc" << 5 << "abc";
    QTest::newRow("exact") << "abc" << 3 << "abc";
    QTest::newRow("longer") << "abcdef" << 4 << "abcd";
    QTest::newRow("no declared size: no limit") << "abc" << 0 << "abc";
    QTest::newRow("empty") << "" << 3 << "";
    QTest::newRow("emoji counts once") << "a" + emoji + "b" << 2 << "a" + emoji;
    QTest::newRow("emoji never split") << emoji + emoji << 1 << emoji;
    QTest::newRow("emoji all") << emoji + emoji << 2 << emoji + emoji;
    QTest::newRow("combining mark is a code point") << QStringLiteral("e\u0301x") << 1 << "e";
    QTest::newRow("combining kept with room")
        << QStringLiteral("e\u0301x") << 2 << QStringLiteral("e\u0301");
    QTest::newRow("lone high surrogate")
        << QString(QChar(0xD83D)) + "ab" << 2 << QString(QChar(0xD83D)) + "a";
    QTest::newRow("lone low surrogate")
        << QString(QChar(0xDC31)) + "ab" << 1 << QString(QChar(0xDC31));
    QTest::newRow("japanese") << QStringLiteral("写真データ") << 2 << QStringLiteral("写真");
}

void TestKeywordString::cutToCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, maxChars);
    QFETCH(QString, cut);
    QCOMPARE(pictavo::cutToCharacters(text, maxChars), cut);
}

QTEST_GUILESS_MAIN(TestKeywordString)
#include "tst_keyword_string.moc"
