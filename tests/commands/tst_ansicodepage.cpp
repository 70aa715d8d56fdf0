#include "commands/AnsiCodePage.h"

#include <QTest>

class TestAnsiCodePage : public QObject {
    Q_OBJECT
private slots:
    void codePageOfLocale_data();
    void codePageOfLocale();
    void localeVariablesInOrder_data();
    void localeVariablesInOrder();
    void textToBytes_data();
    void textToBytes();
};

void TestAnsiCodePage::codePageOfLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("codePage");

    QTest::newRow("C") << "C" << 1252;
    QTest::newRow("C.UTF-8") << "C.UTF-8" << 1252;
    QTest::newRow("POSIX") << "POSIX" << 1252;
    QTest::newRow("empty") << "" << 1252;
    QTest::newRow("en_US.UTF-8") << "en_US.UTF-8" << 1252;
    QTest::newRow("de_DE@euro") << "de_DE@euro" << 1252;
    QTest::newRow("fr") << "fr" << 1252;
    QTest::newRow("zh_CN.UTF-8") << "zh_CN.UTF-8" << 936;
    QTest::newRow("zh_SG") << "zh_SG" << 936;
    QTest::newRow("zh alone") << "zh" << 936;
    QTest::newRow("zh_TW.Big5") << "zh_TW.Big5" << 950;
    QTest::newRow("zh_HK.UTF-8") << "zh_HK.UTF-8" << 950;
    QTest::newRow("ZH_tw case ignored") << "ZH_tw" << 950;
    QTest::newRow("ja_JP.eucJP") << "ja_JP.eucJP" << 932;
    QTest::newRow("ko_KR.UTF-8") << "ko_KR.UTF-8" << 949;
    QTest::newRow("th_TH") << "th_TH" << 874;
    QTest::newRow("cs_CZ") << "cs_CZ" << 1250;
    QTest::newRow("pl_PL.UTF-8") << "pl_PL.UTF-8" << 1250;
    QTest::newRow("ro_RO") << "ro_RO" << 1250;
    QTest::newRow("sr_RS Cyrillic") << "sr_RS" << 1251;
    QTest::newRow("sr_RS@latin") << "sr_RS@latin" << 1250;
    QTest::newRow("ru_RU.KOI8-R") << "ru_RU.KOI8-R" << 1251;
    QTest::newRow("uk_UA") << "uk_UA" << 1251;
    QTest::newRow("el_GR") << "el_GR" << 1253;
    QTest::newRow("tr_TR") << "tr_TR" << 1254;
    QTest::newRow("az_AZ") << "az_AZ" << 1254;
    QTest::newRow("he_IL") << "he_IL" << 1255;
    QTest::newRow("ar_EG") << "ar_EG" << 1256;
    QTest::newRow("fa_IR") << "fa_IR" << 1256;
    QTest::newRow("lt_LT") << "lt_LT" << 1257;
    QTest::newRow("vi_VN") << "vi_VN" << 1258;
}

void TestAnsiCodePage::codePageOfLocale()
{
    QFETCH(QString, locale);
    QFETCH(int, codePage);
    QCOMPARE(AnsiCodePage::forLocale(locale), codePage);
}

void TestAnsiCodePage::localeVariablesInOrder_data()
{
    QTest::addColumn<QByteArray>("lcAll");
    QTest::addColumn<QByteArray>("lcCtype");
    QTest::addColumn<QByteArray>("lang");
    QTest::addColumn<QString>("locale");

    QTest::newRow("LC_ALL first") << QByteArray("ru_RU") << QByteArray("ja_JP")
                                  << QByteArray("el_GR") << "ru_RU";
    QTest::newRow("then LC_CTYPE")
        << QByteArray() << QByteArray("ja_JP") << QByteArray("el_GR") << "ja_JP";
    QTest::newRow("then LANG") << QByteArray() << QByteArray() << QByteArray("el_GR") << "el_GR";
    QTest::newRow("none set") << QByteArray() << QByteArray() << QByteArray() << "C";
}

void TestAnsiCodePage::localeVariablesInOrder()
{
    QFETCH(QByteArray, lcAll);
    QFETCH(QByteArray, lcCtype);
    QFETCH(QByteArray, lang);
    QFETCH(QString, locale);

    const QByteArray saved[] = {qgetenv("LC_ALL"), qgetenv("LC_CTYPE"), qgetenv("LANG")};
    const char* names[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    const QByteArray values[] = {lcAll, lcCtype, lang};
    for (int i = 0; i < 3; ++i) {
        if (values[i].isEmpty())
            qunsetenv(names[i]);
        else
            qputenv(names[i], values[i]);
    }
    const QString read = AnsiCodePage::localeFromEnvironment();
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
    QCOMPARE(read, locale);
}

void TestAnsiCodePage::textToBytes_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("中文 in zh_CN, two bytes each") << "zh_CN.UTF-8"
                                                   << "中文" << QByteArray("d6d0 cec4");
    QTest::newRow("ASCII stays one byte in zh_CN") << "zh_CN.UTF-8"
                                                   << "a中" << QByteArray("61 d6d0");
    QTest::newRow("中文 in zh_TW") << "zh_TW.UTF-8"
                                   << "中文" << QByteArray("a4a4 a4e5");
    QTest::newRow("日本 in ja_JP") << "ja_JP.UTF-8"
                                   << "日本" << QByteArray("93fa 967b");
    QTest::newRow("한 in ko_KR") << "ko_KR.UTF-8"
                                 << "한" << QByteArray("c7d1");
    QTest::newRow("é€ in en_US") << "en_US.UTF-8"
                                 << "é€" << QByteArray("e9 80");
    QTest::newRow("Жж in ru_RU") << "ru_RU.UTF-8"
                                 << "Жж" << QByteArray("c6 e6");
    QTest::newRow("Ω in el_GR") << "el_GR.UTF-8"
                                << "Ω" << QByteArray("d9");
    QTest::newRow("é in C") << "C"
                            << "é" << QByteArray("e9");
    QTest::newRow("中 not in en_US") << "en_US.UTF-8"
                                     << "a中b" << QByteArray("61 3f 62");
    QTest::newRow("é not in ru_RU, € is") << "ru_RU.UTF-8"
                                          << "Жé€" << QByteArray("c6 3f 88");
    QTest::newRow("one ? for a character outside the BMP") << "en_US.UTF-8"
                                                           << QString::fromUtf8("A\xF0\x9F\x98\x80"
                                                                                "B")
                                                           << QByteArray("41 3f 42");
    QTest::newRow("CR LF kept") << "zh_CN.UTF-8"
                                << "a\r\nb\r\n"
                                << QByteArray("61 0d0a 62 0d0a");
    QTest::newRow("zero byte kept")
        << "C" << QString::fromLatin1("a\0b", 3) << QByteArray("61 00 62");
    QTest::newRow("empty") << "zh_CN.UTF-8"
                           << "" << QByteArray();
    QTest::newRow("composed in vi_VN") << "vi_VN"
                                       << "ế" << QByteArray("ea ec");
}

void TestAnsiCodePage::textToBytes()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(QByteArray, hex);
    const QByteArray bytes = AnsiCodePage::encode(text, AnsiCodePage::forLocale(locale));
    QCOMPARE(bytes.toHex(' '), QByteArray::fromHex(hex).toHex(' '));
}

QTEST_GUILESS_MAIN(TestAnsiCodePage)
#include "tst_ansicodepage.moc"
