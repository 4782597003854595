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
