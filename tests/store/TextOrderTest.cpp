#include "store/order/TextOrder.h"

#include <QCollator>
#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// sr_Latn_RS: QLocale::name() says "sr_RS", whose collation is the Cyrillic one.
const char *const kLocales[] = {"es_AR", "es_ES", "en_US", "de_DE", "C", "sr_Latn_RS"};

QString fromUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QCollator collatorFor(const QLocale &locale) {
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// The rows in the order a stable sort with QCollator gives.
std::vector<uint32_t> collatorOrder(const QLocale &locale, const std::vector<std::string> &texts) {
    const QCollator collator = collatorFor(locale);
    std::vector<QString> strings;
    for (const std::string &text : texts)
        strings.push_back(fromUtf8(text));
    std::vector<uint32_t> rows(texts.size());
    std::iota(rows.begin(), rows.end(), 0u);
    std::stable_sort(rows.begin(), rows.end(), [&](uint32_t a, uint32_t b) {
        return collator.compare(strings[a], strings[b]) < 0;
    });
    return rows;
}

// Empty texts come as views of no data at all, as a cell without a value may.
std::vector<uint32_t> textOrder(const store::TextOrder &order,
                                const std::vector<std::string> &texts) {
    return order.sortRows(uint32_t(texts.size()), [&](uint32_t row) {
        return texts[row].empty() ? std::string_view() : std::string_view(texts[row]);
    });
}

std::string shown(const std::string &text) {
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F && c != '"' && c != '\\') {
            out += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out + '"';
}

// Where the two orders first part, with the texts there, or "" when they agree.
std::string firstDifference(const std::vector<uint32_t> &got, const std::vector<uint32_t> &wanted,
                            const std::vector<std::string> &texts) {
    if (got.size() != wanted.size())
        return "sorted " + std::to_string(got.size()) + " rows of " + std::to_string(wanted.size());
    for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != wanted[i])
            return "at " + std::to_string(i) + ": row " + std::to_string(got[i]) + " " +
                   shown(texts.at(got[i])) + " where QCollator has row " +
                   std::to_string(wanted[i]) + " " + shown(texts.at(wanted[i]));
    return "";
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

struct Texts {
    const char *what;
    std::vector<std::string> texts;
};

const std::vector<Texts> &tables() {
    static const std::vector<Texts> all = {
        {"nothing", {}},
        {"one", {"WinZip"}},
        {"ties in row order",
         {"WinZip", "winzip", "7-Zip", "WINZIP", "WinZip", "winZIP", "7-zip", "WinRAR"}},
        {"empty and ignorable",
         {"b", "", "\x01", "a", "", "\t", " ", "\xC2\xAD", "\x01\x02", "\uFEFF", "\uFEFF\uFEFFx",
          "\u00ADa", "a\x01"}},
        {"accents",
         {"ábaco", "abaco", "Ábaco", "ÁBACO", "abacá", "a\u0301baco", "abacos", "ábside", "Abad",
          "éxito", "exito", "Éxito", "ex\xC3\xADto"}},
        {"case", {"WinZip", "winzip", "WINZIP", "WinRAR", "winrar", "Winamp", "WINAMP", "wInZiP"}},
        {"ñ and n",
         {"ñandú", "nandu", "Ñandú", "nube", "ñu", "Ñu", "nz", "oca", "n\u0303andu", "NZ", "ña",
          "na", "Na"}},
        {"digits",
         {"10", "9", "1", "01", "001", "a1", "a10", "a2", "A2", "2a", "1.5", "1,5", "\xD9\xA3", "½",
          "²", "Ⅻ"}},
        {"punctuation and spaces",
         {"a b", "ab",  "a-b", "a_b", "a.b", "a,b",   " a",  "a ",   "a  b", "(a)",
          "¿a?", "¡a!", "-a",  "_",   "'a'", "\"a\"", "a/b", "a\\b", "a\tb", "a\u00A0b",
          "@",   "#1",  "&",   "~",   "a·b", "l·l",   "L·L", "ll"}},
        {"long common prefixes",
         {"https://www.empresa12.example/descargas/345678",
          "https://www.empresa12.example/descargas/345679",
          "https://www.empresa12.example/descargas/34567",
          "https://www.empresa12.example/descargas/",
          "https://www.empresa1.example/descargas/345678",
          "HTTPS://WWW.EMPRESA12.EXAMPLE/DESCARGAS/345678",
          "https://www.empresa12.example/descargas/345678/",
          "https://www.empresa12.example/descargas/3456780",
          "https://www.empresa12.example/descárgas/345678", "Visor de Imágenes 12345",
          "Visor de Imágenes 1234", "Visor de imagenes 12345", std::string(300, 'a') + "b",
          std::string(300, 'a') + "B", std::string(300, 'a'), std::string(299, 'a') + "á",
          std::string(40, 'a') + std::string(40, '-') + "é"}},
        {"not UTF-8",
         {"a\xFF", "a\xE2\x82", "a\xEF\xBF\xBD", "a\xEF\xBF\xBD\xEF\xBF\xBD", "a\xC0\x80",
          "a\xED\xA0\x80", "\xFF\xFE", "a", "b", "a\x80z", "\xF4\x90\x80\x80", "\xE2\x82",
          "\xEF\xBF\xBD", "z\xC3", "z\xC3\xA1"}},
        {"other scripts",
         {"😀", "𐐀", "𐐨", "Σίσυφος", "σίσυφος", "ΣΊΣΥΦΟΣ", "Ёж", "ёж", "Еж", "日本", "\xEF\xBF\xBF",
          "\xEF\xBF\xBE", "\uFEFFabc", "abc", std::string("a\0b", 3), "a"}},
        {"case folding", {"ß", "ss", "SS", "ẞ", "æ", "Æ", "ae", "œ", "Ǆ",  "ǅ", "ǆ", "dž", "İ",
                          "ı", "i",  "I",  "K", "k", "Å", "å",  "ﬁ", "fi", "ŉ", "ǰ", "ΐ",  "ﬆ"}},
    };
    return all;
}

} // namespace

// Few texts: ICU writes every key, on one thread.
TEST(TextOrder, OrdersTextsAsQCollatorDoes) {
    for (const char *name : kLocales) {
        const QLocale locale(QString::fromLatin1(name));
        const store::TextOrder order(locale);
        const QCollator collator = collatorFor(locale);
        for (const Texts &table : tables()) {
            SCOPED_TRACE(std::string(name) + ", " + table.what);
            const std::vector<std::string> &texts = table.texts;
            EXPECT_EQ(firstDifference(textOrder(order, texts), collatorOrder(locale, texts), texts),
                      "");
            for (const std::string &a : texts)
                for (const std::string &b : texts)
                    EXPECT_EQ(sign(order.compare(a, b)),
                              sign(collator.compare(fromUtf8(a), fromUtf8(b))))
                        << shown(a) << " against " << shown(b);
        }
    }
}

// Enough texts, and enough distinct ones, for the large-sort paths: two threads, and keys
// written from the table of Latin characters instead of by ICU.
TEST(TextOrder, OrdersManyGeneratedTextsAsQCollatorDoes) {
    std::vector<std::string> pieces = {"a", "á", "A", "Á", "ab", "n", "ñ", "Ñ", "o", "z", "Z"};
    for (const char *piece : {" ", "  ", "-", "_", ".", "/", ":", "0", "1", "9", "10", "\t"})
        pieces.push_back(piece);
    for (const char *piece : {"ß", "ss", "æ", "œ", "ü", "Ü", "ç", "l", "·", "ch", "ll", "ǅ", "İ"})
        pieces.push_back(piece);
    for (const char *piece : {"\x01", "e\u0301", "\u00AD", "ı", "😀", "𐐀", "𐐨", "Σ", "ς", "日"})
        pieces.push_back(piece);
    for (const char *piece :
         {"\xFF", "\xE2\x82", "\xEF\xBF\xBD", "Visor de Imágenes ", "WinZip", "winzip",
          "https://www.empresa", ".example/descargas/", "Empresa ", " S.A."})
        pieces.push_back(piece);
    pieces.push_back(std::string(1, '\0'));
    for (const Texts &table : tables())
        pieces.insert(pieces.end(), table.texts.begin(), table.texts.end());
    std::mt19937 random(7);
    std::vector<std::string> texts;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        for (unsigned n = random() % 7; n > 0; --n)
            text += pieces[random() % pieces.size()];
        texts.push_back(text);
    }
    for (const char *name : kLocales) {
        SCOPED_TRACE(name);
        const QLocale locale(QString::fromLatin1(name));
        const store::TextOrder order(locale);
        const std::vector<uint32_t> wanted = collatorOrder(locale, texts);
        // Two sorts at once, both wanting the Latin table made.
        std::vector<uint32_t> other;
        std::thread thread([&] { other = textOrder(order, texts); });
        const std::vector<uint32_t> got = textOrder(order, texts);
        thread.join();
        EXPECT_EQ(firstDifference(got, wanted, texts), "");
        EXPECT_EQ(firstDifference(other, wanted, texts), "") << "on another thread";
        EXPECT_EQ(firstDifference(textOrder(order, texts), wanted, texts), "") << "once more";

        const QCollator collator = collatorFor(locale);
        for (int i = 0; i < 2000; ++i) {
            const std::string &a = texts[random() % texts.size()];
            const std::string &b = texts[random() % texts.size()];
            ASSERT_EQ(sign(order.compare(a, b)), sign(collator.compare(fromUtf8(a), fromUtf8(b))))
                << shown(a) << " against " << shown(b);
        }
    }
}
