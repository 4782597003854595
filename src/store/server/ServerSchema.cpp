#include "store/server/ServerSchema.h"

#include "store/schema/Schema.h"

namespace store::server {

namespace {

// A date is kept as the text a catalogue file keeps ("2005-07-08", or with its time), so that
// a catalogue goes to the server and back byte for byte, one the program cannot read included.
// Unquoted names: the server keeps them in lower case, and every statement of the program finds
// them however it spells them. The notification names the table as the program does.
constexpr char kSchema[] = R"sql(
CREATE DOMAIN memo AS text;
CREATE DOMAIN fecha AS text;
CREATE TABLE Discos (
  NroDisco integer PRIMARY KEY,
  DescripcionDisco text, FechaDisco fecha, Comentario memo,
  Cambio bigint NOT NULL DEFAULT 1);
CREATE TABLE Programas (
  NroPrograma integer PRIMARY KEY,
  NroDisco integer NOT NULL REFERENCES Discos(NroDisco) ON DELETE RESTRICT,
  NombrePrograma text NOT NULL, Version text, Empresa text, Licencia text,
  Anio integer, Link text, Comentario memo,
  Cambio bigint NOT NULL DEFAULT 1);
CREATE INDEX ProgramasNroDisco ON Programas(NroDisco);
CREATE VIEW ProgDisc AS SELECT p.NroDisco, d.DescripcionDisco, p.NombrePrograma,
  p.Version, p.Empresa, p.Licencia, p.Anio, p.Link, p.Comentario
  FROM Programas p LEFT JOIN Discos d ON d.NroDisco = p.NroDisco;
CREATE FUNCTION vadrel_cambio() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  NEW.Cambio := OLD.Cambio + 1;
  RETURN NEW;
END $$;
CREATE FUNCTION vadrel_aviso() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
  key_name text := TG_ARGV[1];
BEGIN
  IF TG_OP <> 'INSERT' THEN
    PERFORM pg_notify('vadrel', TG_ARGV[0] || ' ' || (to_jsonb(OLD) ->> key_name));
  END IF;
  IF TG_OP <> 'DELETE' THEN
    PERFORM pg_notify('vadrel', TG_ARGV[0] || ' ' || (to_jsonb(NEW) ->> key_name));
  END IF;
  RETURN NULL;
END $$;
CREATE TRIGGER DiscosCambio BEFORE UPDATE ON Discos
  FOR EACH ROW EXECUTE FUNCTION vadrel_cambio();
CREATE TRIGGER ProgramasCambio BEFORE UPDATE ON Programas
  FOR EACH ROW EXECUTE FUNCTION vadrel_cambio();
-- A catalogue being made has nobody to tell.
CREATE TRIGGER DiscosAviso AFTER INSERT OR UPDATE OR DELETE ON Discos
  FOR EACH ROW WHEN (current_setting('vadrel.callado', true) IS DISTINCT FROM 'si')
  EXECUTE FUNCTION vadrel_aviso('Discos', 'nrodisco');
CREATE TRIGGER ProgramasAviso AFTER INSERT OR UPDATE OR DELETE ON Programas
  FOR EACH ROW WHEN (current_setting('vadrel.callado', true) IS DISTINCT FROM 'si')
  EXECUTE FUNCTION vadrel_aviso('Programas', 'nroprograma');
)sql";

} // namespace

void createSchema(engine::Database *db) {
    engine::Statement existing(db, "SELECT count(*) FROM information_schema.tables WHERE "
                                   "table_schema = current_schema() AND "
                                   "table_name IN ('discos', 'programas', 'progdisc')");
    if (existing.step() && existing.int64(0) > 0)
        throw DatabaseError(DatabaseError::Kind::Refused,
                            QStringLiteral("the database already holds a catalogue; it was left "
                                           "untouched"),
                            db->path(), DatabaseError::Cause::DuplicateKey);
    db->exec(kSchema);
    db->exec(schema::prints::createSql);
    db->exec("SET LOCAL vadrel.callado = 'si'");
}

} // namespace store::server
