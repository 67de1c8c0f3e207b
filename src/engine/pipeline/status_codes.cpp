#include "engine/pipeline/status_codes.h"

namespace qv {

const char* statusText(int code)
{
    switch (code) {
    case StatusCode::Loading: return "Wczytywanie obrazu";
    case StatusCode::Saving: return "Zapisywanie obrazu";
    case StatusCode::LoadError: return "Błąd wczytywania";
    case StatusCode::SaveError: return "Błąd zapisu";
    case StatusCode::ProcessingError: return "Błąd przetwarzania";
    case StatusCode::Merging: return "Łączenie: %d%%";
    case StatusCode::DetailSetup: return "Przygotowanie...";
    case StatusCode::Smoothing: return "Wygładzanie: %d%%";
    case StatusCode::Smoothing2: return "Wygładzanie: %d%% 2-gi przebieg";
    case StatusCode::Detail: return "Przetwarzanie: %d%%";
    case StatusCode::Region: return "Detekcja obszarów: %d%%";
    case StatusCode::ToneCurve: return "Krzywa tonalna: %d%%";
    case StatusCode::FinalOutput: return "Przetwarzanie końcowe: %d%%";
    case StatusCode::ColorNR: return "Redukcja kolorowego szumu: %d%%";
    case StatusCode::Softening: return "Filtr zmiękczający: %d%%";
    case StatusCode::Sharpening: return "Wyostrzanie: %d%%";
    case StatusCode::Light: return "Światło: %d%%";
    case StatusCode::Ready:
    case StatusCode::Ready2: return "Gotowe";
    case StatusCode::Aborted: return "Przerwane";
    case StatusCode::UpdateCheck: return "Sprawdzanie aktualizacji...";
    default: return "";
    }
}

}  // namespace qv
