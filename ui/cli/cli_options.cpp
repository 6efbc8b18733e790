#include "ui/cli/cli_options.h"

#include "platform/error.h"

namespace act {

CliOptions ParseCliOptions(const std::vector<std::string>& args) {
  CliOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= args.size() || args[i + 1].empty())
        throw Error(kErrInvalidProcedureCall, "missing value after " + arg);
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--drive") {
      options.drive = value();
    } else if (arg == "--origin") {
      options.origin = value();
    } else if (arg == "--dry-run") {
      options.dry_run = true;
    } else if (arg == "--log") {
      options.log = value();
    } else if (arg == "--prefix") {
#ifdef _WIN32
      throw Error(kErrInvalidProcedureCall, "--prefix only exists on posix");
#else
      options.prefix = value();
#endif
    } else {
      throw Error(kErrInvalidProcedureCall, "unknown argument " + arg);
    }
  }
  return options;
}

const char* CliUsage() {
  return
      "Uso: actualizador-cli [--drive X:] [--origin CARPETA] [--prefix CARPETA]\n"
      "                      [--dry-run] [--log ARCHIVO]\n"
      "\n"
      "Actualiza zentaroDeck en la unidad indicada, sin ventana, con el paquete\n"
      "zentaroDeck_NEW que hay junto al actualizador. Hace los mismos pasos que el\n"
      "botón \"Actualizar\": copia el paquete a X:\\zentaroDeck_NEW, compara las\n"
      "versiones, traspasa los ajustes y las carpetas y archivos que indica\n"
      "actualizador.ini, guarda la instalación anterior en X:\\SOPORTE y deja la\n"
      "nueva en X:\\zentaroDeck.\n"
      "\n"
      "  --drive X:         unidad de la instalación; se toma el texto hasta los\n"
      "                     primeros dos puntos incluidos. Sin ella, la unidad del\n"
      "                     acceso directo de inicio de zentaroDeck (como la ventana).\n"
      "  --origin CARPETA   carpeta del actualizador, la que contiene zentaroDeck_NEW\n"
      "                     (por omisión, la carpeta de este ejecutable). En posix\n"
      "                     puede ser una ruta nativa que empiece por '/'.\n"
      "  --prefix CARPETA   solo posix: prefijo al estilo de Wine cuyas unidades\n"
      "                     (dosdevices/x:) se actualizan; por omisión $WINEPREFIX\n"
      "                     o ~/.wine.\n"
      "  --dry-run          simulación: lee todo lo que leería la actualización y no\n"
      "                     escribe nada en ninguna unidad; muestra el plan: versiones,\n"
      "                     filas de cada tabla y las que se rechazarían, valores y\n"
      "                     ajustes que cambiarían, copias con su tamaño y el espacio\n"
      "                     necesario frente al libre, o lo que dejaría en la unidad\n"
      "                     una actualización que fallara. Necesita memoria para la\n"
      "                     nueva datos.mdb (unos 1,5 MB por cada diez mil canciones)\n"
      "                     además de la del programa: unos 110 MB con 400.000.\n"
      "  --log ARCHIVO      añade al archivo una línea por paso, con la hora (y su\n"
      "                     diferencia con UTC) y lo que tardó: versiones, sentencias\n"
      "                     con las filas añadidas y rechazadas, ajustes, copias con\n"
      "                     sus bytes, cada movimiento del cambio de instalación y el\n"
      "                     final o el error. Cada paso que cambia la unidad o la base\n"
      "                     de datos tiene antes una línea «… » al empezar: si la\n"
      "                     última es una de ellas, la ejecución se cortó en ese paso.\n"
      "                     Ctrl+C o SIGTERM dejan una línea «INTERRUMPIDA por ...».\n"
      "  --help             muestra esta ayuda.\n"
      "\n"
      "Cada mensaje que la ventana mostraría en un cuadro sale en una línea de la\n"
      "salida estándar, en UTF-8. Un fallo escribe en la salida de errores el\n"
      "número y el texto del error con el archivo implicado. Si la unidad tiene\n"
      "menos espacio libre que el que ocupa el paquete, no se toca nada y sale el\n"
      "error 61 con el espacio necesario y el libre. Si la salida de errores es un\n"
      "terminal, los pasos largos muestran su avance en una línea.\n"
      "\n"
      "Estado de salida: 0 actualización terminada; 2 rechazada (versiones, o el\n"
      "paquete es la propia carpeta de trabajo); 1 fallo o argumentos incorrectos.\n"
      "Con --dry-run: 0 la actualización se haría, 2 sería rechazada, 1 fallaría\n"
      "(o algo no se pudo leer).\n";
}

}  // namespace act
