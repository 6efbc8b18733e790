// Prints every user table of an Access database as mdb-reader (an
// independent reader) decodes it, one line per row, each value in a form
// that loses nothing and that the C++ tests can produce from their own
// values:
//   N                    null
//   B:1 / B:0            boolean
//   D:<16 hex digits>    any JavaScript number, as its IEEE double bits
//   T:<ms>               date: milliseconds since 1970-01-01 UTC (or NaN)
//   C:<text>             currency and decimal, as mdb-reader's decimal text
//   S:<hex>              text, memo, GUID: UTF-8 bytes in hex
//   X:<hex>              binary and OLE bytes in hex
// A table starts with a line "table <name>". Usage: node dump.mjs <file>
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

function encode(value) {
  if (value === null || value === undefined) return "N";
  if (typeof value === "boolean") return value ? "B:1" : "B:0";
  if (typeof value === "number") {
    const b = Buffer.alloc(8);
    b.writeDoubleBE(value);
    return "D:" + b.toString("hex");
  }
  if (value instanceof Date) return "T:" + value.getTime();
  if (Buffer.isBuffer(value)) return "X:" + value.toString("hex");
  return "S:" + Buffer.from(String(value), "utf8").toString("hex");
}

const reader = new MDBReader(readFileSync(process.argv[2]));
const out = [];
for (const name of reader.getTableNames()) {
  const table = reader.getTable(name);
  out.push("table " + name);
  const columns = table.getColumns();
  for (const row of table.getData()) {
    out.push(columns.map((c) => {
      const v = row[c.name];
      if ((c.type === "currency" || c.type === "numeric") && v !== null) return "C:" + v;
      return encode(v);
    }).join("\t"));
  }
}
process.stdout.write(out.map((line) => line + "\n").join(""));
