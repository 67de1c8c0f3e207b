#include "cli/help_text.h"

#include <array>
#include <charconv>

#include "cli/preset_lookup.h"

#ifndef QUORVELIN_VERSION
#error "the build defines QUORVELIN_VERSION"
#endif

namespace qv::cli {

std::string helpText()
{
    return "Użycie: quorvelin-cli [opcje] PLIK... -o WYNIK\n"
           "       quorvelin-cli [opcje] --each PLIK... -d FOLDER\n"
           "\n"
           "Przetwarza obraz (kilka plików: ekspozycje jednej sceny, łączone w jeden obraz)\n"
           "tak jak program i zapisuje wynik.\n"
           "\n"
           "Wynik:\n"
           "  -o, --output PLIK       plik wynikowy\n"
           "  -t, --type TYP          jpeg, tiff8 albo tiff16; domyślnie z rozszerzenia:\n"
           "                          .jpg/.jpeg JPEG, .tif/.tiff TIFF 16-bit\n"
           "  -q, --quality 0..100    jakość JPEG (domyślnie zapisana w konfiguracji, bez niej 90)\n"
           "      --resize SZERxWYS   zmniejsza do tej ramki (np. 1920x1080) z zachowaniem proporcji\n"
           "                          (nigdy nie powiększa)\n"
           "\n"
           "Ustawienia (nakładane w tej kolejności na domyślne zapisane w konfiguracji):\n"
           "      --factory           zaczyna od ustawień fabrycznych zamiast zapisanych domyślnych\n"
           "  -p, --preset NAZWA|1..10  ustawienia predefiniowane:\n"
           "                          " + presetListText() + "\n"
           "  -s, --settings PLIK.qvl plik ustawień\n"
           "      --no-companion      pomija plik .qvl o nazwie obrazu leżący obok niego\n"
           "      --set Pole=Wartość  pojedyncza wartość, np. Details=7 (można powtarzać)\n"
           "      --save-settings PLIK.qvl  zapisuje użyte ustawienia (z --each: wspólne, bez\n"
           "                          plików .qvl obok obrazów; bez plików wejściowych: tylko zapis)\n"
           "\n"
           "Wczytywanie:\n"
           "      --preview full|800|1280|2048  rozmiar obrazu roboczego (domyślnie full)\n"
           "      --raw-nr, --no-raw-nr         wstępna redukcja szumu plików RAW\n"
           "      --raw-auto-wb, --no-raw-auto-wb  automatyczny balans bieli plików RAW\n"
           "      --light-recovery, --no-light-recovery  unikaj prześwietleń (RAW)\n"
           "                          (bez tych opcji: jak w konfiguracji programu)\n"
           "\n"
           "Przebieg:\n"
           "      --threads N         wątki na etap, 1..20 (domyślnie procesory + 2)\n"
           "      --each              każdy plik osobno do folderu -d, mimo błędów pojedynczych plików\n"
           "  -d, --dir FOLDER        folder wynikowy dla --each (typ domyślnie tiff16)\n"
           "      --quiet             bez postępu i komunikatów (poza błędami)\n"
           "      --timings           czas każdego etapu po każdym obrazie\n"
           "  -h, --help              ta pomoc\n"
           "      --version           wersja programu\n"
           "\n"
           "Kod wyjścia: 0 gotowe, 1 błąd wczytywania, przetwarzania lub zapisu,\n"
           "2 błędne wywołanie, 130 przerwane (Ctrl+C).\n";
}

std::string versionText(std::string_view dotted)
{
    std::array<int, 4> parts{};
    std::size_t start = 0;
    for (int& part : parts) {
        if (start > dotted.size())
            break;
        const std::size_t dot = std::min(dotted.find('.', start), dotted.size());
        std::from_chars(dotted.data() + start, dotted.data() + dot, part);
        start = dot + 1;
    }
    std::string text = std::to_string(parts[0]) + "." + std::to_string(parts[1]);
    if (parts[2] != 0)
        text.append(".").append(std::to_string(parts[2]));
    if (parts[3] != 0)
        text.append(" (build ").append(std::to_string(parts[3])).append(")");
    return text;
}

std::string versionLine() { return "Quorvelin " + versionText(QUORVELIN_VERSION); }

}  // namespace qv::cli
