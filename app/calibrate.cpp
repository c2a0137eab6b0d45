// qorcal-calibrate: a calibration window for a form that qorcal-a2l wrote.
//
//   qorcal-calibrate FORM [--description FILE] [--headless [--screenshot FILE]]
//
// The XCP library reads the item description named by --description, else the one beside
// the form (FORM with the extension .xcp), unless QOR_XCP_DESCRIPTION already names one.
// With --headless the program runs on Qt's offscreen platform: it starts the session, lets
// the live values refresh for a moment, writes the screenshot, prints every value it read
// and exits 0 only when every value could be read.

#include "app/CalibrationWindow.h"
#include "app/HeadlessRun.h"
#include "controls/KeyComboBox.h"
#include "data/SerialData.h"
#include "framework/MessageBox.h"
#include "gui/Application.h"
#include "gui/Label.h"
#include "map3d/Qor3DMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <QtGlobal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

struct TOptions {
    std::string Form;
    std::string Description;
    std::string Screenshot = "qorcal-calibrate.png";
    bool Headless = false;
};

bool ParseOptions(int argc, char** argv, TOptions& Options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--headless")
            Options.Headless = true;
        else if (arg == "--description" && hasValue)
            Options.Description = argv[++i];
        else if (arg == "--screenshot" && hasValue)
            Options.Screenshot = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && Options.Form.empty())
            Options.Form = arg;
        else
            return false;
    }
    return !Options.Form.empty();
}

int Headless(qor::TCalibrationWindow& Window, const TOptions& Options) {
    const bool started = Window.StartSession();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500) // a few refresh passes of the live values
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const bool shot =
        Window.Widget()->grab().toImage().save(QString::fromStdString(Options.Screenshot), "PNG");
    for (const auto& row : Window.Live())
        std::cout << "  live  " << row.Packet->Name() << " = " << row.Label->Caption() << "\n";
    for (const auto& row : Window.Values())
        std::cout << "  value " << row.Number->Name() << " = "
                  << qor::TCalibrationWindow::ValueText(row) << "\n";
    for (const auto& row : Window.Arrays())
        std::cout << "  array " << row.Vector->Name() << " = " << row.Label->Caption() << "\n";
    for (const auto* view : Window.Maps())
        std::cout << "  map   " << view->Name() << "\n";
    std::cout << "  status: " << Window.StatusLabel()->Caption() << "\n";
    if (shot)
        std::cout << "  screenshot: " << Options.Screenshot << "\n";
    else
        std::cerr << "cannot write " << Options.Screenshot << "\n";
    return started && shot && Window.ErrorCount() == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: " << argv[0]
                  << " FORM [--description FILE] [--headless [--screenshot FILE]]\n";
        return 2;
    }
    if (options.Description.empty() && qEnvironmentVariableIsEmpty("QOR_XCP_DESCRIPTION")) {
        const auto beside = std::filesystem::path(options.Form).replace_extension(".xcp");
        if (std::filesystem::exists(beside))
            options.Description = beside.string();
    }
    if (!options.Description.empty())
        qputenv("QOR_XCP_DESCRIPTION", QByteArray::fromStdString(options.Description));
    if (options.Headless)
        qor::UseOffscreenDrawing();
    try {
        qor::TApplication app(argc, argv);
        std::unique_ptr<qor::TMessageBoxHandlerGuard> quietBoxes;
        if (options.Headless)
            quietBoxes = qor::MessageBoxesToStandardError();
        try {
            qor::RegisterCalibrationClasses();
            app.SetTitle("QorCal calibration");
            auto* window = app.CreateForm<qor::TCalibrationWindow>();
            window->LoadFormFile(options.Form);
            window->SetCaption("QorCal: " + options.Form);
            window->Show();
            if (options.Headless)
                return Headless(*window, options);
            window->StartSession();
            app.Run();
        } catch (...) {
            app.HandleException(std::current_exception());
            return 1;
        }
    } catch (const std::exception& e) {
        std::cerr << argv[0] << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}
