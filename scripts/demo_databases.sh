#!/usr/bin/env bash
# Prints, as Jet SQL for `jetsql --create FILE < script`, the database of the
# demo's installed zentaroDeck 2.0.0.0 (installed) or the one its 3.0.0.0
# package ships (package). Both hold the tables the database carry-over
# touches. The installed one is a bar's database after years of use: a few
# thousand songs added over time, so their titles, artists and albums come in
# no order, with accented Spanish text throughout; settings with text values,
# numbers, Nulls and an apostrophe. The package ships its own settings, the
# standard genres and one house advertisement.
#
# Usage: scripts/demo_databases.sh installed|package [SONGS]
set -euo pipefail
which=${1:?installed or package}
songs=${2:-3000}

cat <<'SQL'
CREATE TABLE configuracion (elemento TEXT(50), valor_s TEXT(255), valor LONG);
CREATE UNIQUE INDEX porElemento ON configuracion (elemento);
CREATE TABLE informacion_cd (codigo LONG PRIMARY KEY, titulo TEXT(100), artista TEXT(100), pistas INTEGER);
CREATE TABLE canciones (id COUNTER PRIMARY KEY, titulo TEXT(100), artista TEXT(100), album TEXT(100), id_genero LONG, duracion LONG, archivo TEXT(255), reproducciones LONG);
CREATE INDEX porTitulo ON canciones (titulo);
CREATE INDEX porArtista ON canciones (artista);
CREATE TABLE generos (id LONG PRIMARY KEY, nombre TEXT(50));
CREATE TABLE genero_album (id_genero LONG, album TEXT(100), CONSTRAINT genero_album_clave UNIQUE (id_genero, album));
CREATE TABLE publicidad (id LONG PRIMARY KEY, anunciante TEXT(100), archivo TEXT(255), veces LONG);
CREATE TABLE dinero (id LONG PRIMARY KEY, fecha DATETIME, importe CURRENCY, concepto TEXT(100));
SQL

setting() { echo "INSERT INTO configuracion (elemento, valor_s, valor) VALUES ('$1', $2, $3);"; }
genres() {
  local id=1
  for g in Cumbia Ranchera 'Balada romántica' 'Pop en español' 'Música andina' Bolero Salsa Vallenato; do
    echo "INSERT INTO generos (id, nombre) VALUES ($id, '$g');"
    id=$((id + 1))
  done
}

if [ "$which" = package ]; then
  setting versionBD "'3.0'" 300
  setting VersionCLI "'3.0.0.0'" NULL
  setting nombre_local "'Sin nombre'" NULL
  setting mensaje_bienvenida "'Bienvenidos'" NULL
  setting volumen NULL 50
  setting tema "'claro'" 1
  setting clave_operador NULL 0
  setting ultima_recaudacion "''" 0
  setting pantalla_tactil "'sí'" 1
  genres
  echo "INSERT INTO publicidad (id, anunciante, archivo, veces) VALUES (100, 'zentaroDeck 3.0: novedades', 'c:\\zentaroDeck\\publicidad\\novedades.jpg', 0);"
  exit 0
fi

[ "$which" = installed ] || { echo "installed or package, not '$which'" >&2; exit 2; }
setting versionBD "'2.0'" 200
setting VersionCLI "'2.0.0.0'" NULL
setting nombre_local "'Bar La Peña'" NULL
setting mensaje_bienvenida "'Bienvenidos a L''Escala, Begoña'" NULL
setting volumen NULL 80
setting tema "'oscuro'" 3
setting clave_operador NULL 4711
setting ultima_recaudacion "'30/11/2026'" 45230
setting idioma "'español'" NULL
genres
for g in "9, 'Tango'" "10, 'Flamenco'" "11, 'Música llanera'"; do
  echo "INSERT INTO generos (id, nombre) VALUES ($g);"
done

# The catalogue: one row per song, in the order the bar added them. Each
# table's values walk a different stride through its lists, so no column
# comes in key order.
awk -v songs="$songs" 'BEGIN {
  nw = split("Canción Corazón Mañana Niña Pájaro Ángel Sueño Lágrimas Última Camión Señora Bésame Olvídame Añoranza Perfidia Río Jardín Café Luna Güera", w1, " ")
  nv = split("de otoño|del ayer|sin ti|de cristal|en la playa|para Begoña|de Aragón|del mar|al amanecer|de San Juan|bajo la lluvia|de mi tierra", w2, "|")
  na = split("José Álvarez|Mónica Peña|Los Güeros del Ñandú|Orquesta Aragón|Chabuca Granda|Lucía Méndez|Raphaël|Celia Cruz|Óscar Chávez|Sonora Santanera|Julio Iglesias|Rocío Dúrcal|Los Ángeles Negros|Agustín Lara|Toña la Negra", art, "|")
  nb = split("Éxitos|Grandes éxitos|En vivo|Boleros de oro|Lo mejor|Recuerdos|Clásicos|Fiesta", alb, "|")
  for (i = 1; i <= songs; i++) {
    p = (i * 7919) % 3001
    q = (i * 104729) % 2003
    printf "INSERT INTO canciones (titulo, artista, album, id_genero, duracion, archivo, reproducciones) VALUES (\x27%s %s %d\x27, \x27%s\x27, \x27%s %d\x27, %d, %d, \x27c:\\zentaroDeck\\música\\%05d.mp3\x27, %d);\n",
      w1[p % nw + 1], w2[q % nv + 1], p, art[q % na + 1], alb[p % nb + 1], 1960 + q % 60,
      p % 11 + 1, 120 + q % 300, i, (p * q) % 997
  }
  for (i = 1; i <= 240; i++)
    printf "INSERT INTO informacion_cd (codigo, titulo, artista, pistas) VALUES (%d, \x27Disco compacto nº %d\x27, \x27%s\x27, %d);\n",
      (i * 37) % 241 + 1000, i, art[i % na + 1], 10 + i % 12
  for (g = 1; g <= 11; g++)
    for (y = 0; y < 4; y++)
      printf "INSERT INTO genero_album (id_genero, album) VALUES (%d, \x27%s %d\x27);\n", g, alb[(g + y) % nb + 1], 1960 + (g * 7 + y * 13) % 60
  for (i = 1; i <= 12; i++)
    printf "INSERT INTO publicidad (id, anunciante, archivo, veces) VALUES (%d, \x27Anunciante Peñalver %d\x27, \x27c:\\zentaroDeck\\publicidad\\anuncio%d.jpg\x27, %d);\n", i, i, i, i * 31 % 500
  split("31 28 31 30 31 30 31 31 30 31 30 31", days, " ")
  m = 1; d = 0
  for (i = 1; i <= 365; i++) {
    if (++d > days[m]) { m++; d = 1 }
    printf "INSERT INTO dinero (id, fecha, importe, concepto) VALUES (%d, #2025-%02d-%02d 23:30#, %d.%02d, \x27Recaudación del día\x27);\n", i, m, d, 50 + (i * 53) % 400, (i * 7) % 100
  }
}'
