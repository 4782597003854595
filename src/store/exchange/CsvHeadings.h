#pragma once

#include <iterator>

// What the CSV files' writing, reading and importing share.
namespace store {

// The header of our own files; what each column holds is guessed from it when read back.
inline const char16_t *const kHeadings[] = {
    u"Nro. CD", u"Descripción CD", u"Fecha",    u"Comentario CD", u"Nro. programa", u"Programa",
    u"Versión", u"Empresa",        u"Licencia", u"Año",           u"Link",          u"Comentario"};
inline constexpr int kColumns = int(std::size(kHeadings));

// A byte order mark: Excel reads UTF-8 only with it, and LibreOffice's import dialog then
// proposes UTF-8 by itself. Reading skips it.
inline constexpr char kBom[] = "\xEF\xBB\xBF";

} // namespace store

#include <QString>
#include <string_view>

namespace store {

// A text a spreadsheet would take for a formula (=, +, -, @) or whose leading tab or CR it
// would drop is written behind an apostrophe, as spreadsheets mark text; so is one that already
// begins with apostrophes before such a character, so that reading takes exactly one off.
inline bool formulaLike(char16_t first) {
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\t' ||
           first == u'\r';
}
inline bool needsGuard(std::string_view utf8) {
    size_t at = 0;
    while (at < utf8.size() && utf8[at] == '\'')
        ++at;
    return at < utf8.size() && formulaLike(char16_t(static_cast<unsigned char>(utf8[at])));
}
// The text as stored, from a field read back: one guarding apostrophe taken off.
inline QString unguarded(const QString &field) {
    if (!field.startsWith(u'\''))
        return field;
    qsizetype at = 0;
    while (at < field.size() && field[at] == u'\'')
        ++at;
    return at < field.size() && formulaLike(field[at].unicode()) ? field.mid(1) : field;
}

} // namespace store
