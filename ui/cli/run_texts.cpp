#include "ui/cli/run_texts.h"

namespace act {

const char* StageName(RunStage stage) {
  switch (stage) {
    case RunStage::kStaging: return "copia del paquete";
    case RunStage::kVersionGate: return "versiones";
    case RunStage::kDatabase: return "traspaso de la base de datos";
    case RunStage::kProductSettings: return "ajustes de zentaroDeck";
    case RunStage::kFolderCopies: return "copias de carpetas";
    case RunStage::kFileCopies: return "copias de archivos";
    case RunStage::kSearchSettings: return "ajustes de la búsqueda";
    case RunStage::kSwap: return "cambio de instalación";
  }
  return "?";
}

std::string FileStepText(const std::string& operation, const std::string& path,
                         const std::string& destination) {
  struct Name {
    const char* operation;
    const char* text;
  };
  static const Name kNames[] = {
      {"DeleteFolder", "borrar carpeta"},  {"DeleteFile", "borrar archivo"},
      {"CreateFolder", "crear carpeta"},   {"MoveFolder", "mover carpeta"},
      {"MoveFile", "mover archivo"},       {"SetAttributes", "atributos normales en"},
      {"FlushFolder", "escribir en el disco lo pendiente de"},
      {"ClearReadOnly", "quitar el atributo de sólo lectura a los archivos de"},
      {"CopyFolder", "copia de carpeta"},   {"CopyFile", "copia de archivo"},
      {"NoteSwap", "anotar el cambio de instalación en"},
  };
  std::string text = operation;
  for (const Name& name : kNames)
    if (operation == name.operation) text = name.text;
  text += " " + path;
  if (!destination.empty()) text += " -> " + destination;
  return text;
}

std::string Counted(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string RefusalCauses(const StatementCounts& counts) {
  return "clave duplicada " + std::to_string(counts.refused_key) +
         ", valor obligatorio o relación " + std::to_string(counts.refused_rule) +
         ", valor que no cabe " + std::to_string(counts.refused_value);
}

std::string Quoted(const std::string& value) { return "'" + value + "'"; }

}  // namespace act
