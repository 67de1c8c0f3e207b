// The window on the offscreen platform with a 24-megapixel photo: what the
// window adds to a run between a slider's release and the painted result,
// a paint at the fitting zoom, a pan step at 100 %, and start-up to a shown
// window.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QSlider>
#include <chrono>
#include <ctime>
#include <memory>

#include "app/quorvelin_app.h"
#include "settings/key_value_store.h"
#include "imaging/bitmap.h"
#include "ui/display_reduction.h"
#include "ui/image_view.h"
#include "ui/main_dialog.h"
#include "ui/page_controls.h"
#include "ui/view_geometry.h"

namespace {

using qv::ui::CMainDialog;

// Created once and never destroyed (Qt's statics may go first at exit);
// the time it took is reported with the start-up.
double applicationStartMs = 0;

QApplication& application()
{
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "window_bench";
        static char* argv[] = {name, nullptr};
        QElapsedTimer clock;
        clock.start();
        auto* created = new QApplication(argc, argv);
        applicationStartMs = clock.nsecsElapsed() / 1e6;
        return created;
    }();
    return *app;
}

// A 24-megapixel picture made from the night street photo, as a BMP in the
// temporary folder (decoded fast; the load is not what is measured).
const std::string& photo24()
{
    static const std::string path = [] {
        const std::string file = QDir::temp().filePath(QStringLiteral("quorvelin_window_bench_24mp.bmp")).toStdString();
        const QImage photo(QStringLiteral(QV_TESTDATA_DIR "/photo_night_street_shop.jpg"));
        photo.scaled(6000, 4000, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB888)
            .save(QString::fromStdString(file));
        return file;
    }();
    return path;
}

// The processor time the calling thread has used, in milliseconds.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Made before the window, which needs the application.
struct WithApplication {
    WithApplication() { application(); }
};

// The main window, 1600 x 1000, shown, with the 24-megapixel photo processed.
struct LoadedWindow : private WithApplication {
    LoadedWindow()
    {
        window.resize(1600, 1000);
        window.show();
        QApplication::processEvents();
        window.controller().openImages({photo24()}, false);
        waitForRunAndPaint();
    }
    ~LoadedWindow() { window.controller().stopProcessing(false); }

    void waitForRunAndPaint()
    {
        while (window.controller().session().processing())
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QApplication::processEvents();
    }

    CMainDialog window;
};

void BM_SliderReleaseToPaintedResult(benchmark::State& state)
{
    LoadedWindow loaded;
    qv::ui::WindowController& controller = loaded.window.controller();
    const qv::ui::PageControl& gamma = *qv::ui::controlFor(&qv::ToneSettings::Gamma);
    double runMs = 0, totalMs = 0, windowThreadMs = 0;
    int value = 6;
    for (auto _ : state) {
        value = value == 6 ? 7 : 6;
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        controller.controlMoved(gamma, value, qv::ui::SliderPhase::Released);
        loaded.waitForRunAndPaint();
        const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        windowThreadMs += threadCpuMs() - cpuStart;
        state.SetIterationTime(elapsed / 1000);
        totalMs += elapsed;
        runMs += controller.session().elapsedMs();
    }
    state.counters["run_ms"] = runMs / state.iterations();
    state.counters["window_ms"] = (totalMs - runMs) / state.iterations();
    // What the window's own thread spent of it (it waits while the run goes).
    state.counters["window_thread_cpu_ms"] = windowThreadMs / state.iterations();
}
BENCHMARK(BM_SliderReleaseToPaintedResult)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

void BM_PaintAtFittingZoom(benchmark::State& state)
{
    LoadedWindow loaded;
    qv::ui::CImageView& view = *loaded.window.imageView();
    for (auto _ : state)
        view.repaint();
    state.counters["zoom_percent"] = qv::ui::kZoomPercents[loaded.window.controller().zoomIndex()];
}
BENCHMARK(BM_PaintAtFittingZoom)->Unit(benchmark::kMillisecond);

// What a new result costs the view at the fitting zoom: its reduced copy.
void BM_ReduceResultForFittingZoom(benchmark::State& state)
{
    LoadedWindow loaded;
    const qv::ui::ViewGeometry g = loaded.window.imageView()->geometryNow();
    const qv::Bitmap& output = *loaded.window.controller().session().pipeline().output;
    for (auto _ : state)
        benchmark::DoNotOptimize(qv::ui::reduceForDisplay(output, g.zoomedWidth(), g.zoomedHeight()));
}
BENCHMARK(BM_ReduceResultForFittingZoom)->Unit(benchmark::kMillisecond);

void BM_PanStepAtFullSize(benchmark::State& state)
{
    LoadedWindow loaded;
    qv::ui::CImageView& view = *loaded.window.imageView();
    loaded.window.zoomSlider()->setValue(qv::ui::kFullSizeZoomIndex);
    QApplication::processEvents();
    const QPointF centre(view.width() / 2.0, view.height() / 2.0);
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, view.mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
    };
    send(QEvent::MouseButtonPress, centre, Qt::LeftButton);
    send(QEvent::MouseMove, centre, Qt::LeftButton);
    int step = 0;
    for (auto _ : state) {
        // Back and forth by 24 pixels, painted at once.
        const bool away = ++step % 2 != 0;
        const QPointF at = centre + QPointF(away ? 24 : 0, away ? 16 : 0);
        send(QEvent::MouseMove, at, Qt::LeftButton);
        view.repaint();
    }
    send(QEvent::MouseButtonRelease, centre, Qt::NoButton);
}
BENCHMARK(BM_PanStepAtFullSize)->Unit(benchmark::kMillisecond);

void BM_StartUpToShownWindow(benchmark::State& state)
{
    application();
    for (auto _ : state) {
        qv::CQuorvelinApp app(std::make_unique<qv::MemoryStore>());
        CMainDialog& window = app.start({});
        window.repaint();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.isVisible());
        state.PauseTiming();
        app.finish();
        state.ResumeTiming();
    }
    state.counters["qapplication_ms"] = applicationStartMs;
}
BENCHMARK(BM_StartUpToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
