// qorcal-demo: the demo calibration program on the bundled ECU simulator.
//
//   qorcal-demo [--form FILE] [--ini FILE] [--headless --screenshot FILE]
//
// Starts the application object, sets the title, creates the main form from its form file
// (forms/demo.qfm beside the program unless --form names one) and runs the message loop.
// With --headless it runs on Qt's offscreen platform instead, types the scripted session
// (ScriptedSession.h), writes the screenshot and the INI file and exits 0 only when every
// step did what it should.

#include "app/DemoForm.h"
#include "app/HeadlessRun.h"
#include "app/ScriptedSession.h"
#include "gui/Application.h"

#include <QtGlobal>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

struct TOptions {
    std::string Form;
    std::string Ini = "qorcal-demo.ini";
    std::string Screenshot = "qorcal-demo.png";
    bool Headless = false;
};

// The shipped form: beside the program in the build tree, in the package's data folder
// (<prefix>/share/qorcal/forms) once installed.
std::string ShippedForm() {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "forms/demo.qfm";
    const std::filesystem::path folder = program.parent_path();
    const std::filesystem::path beside = folder / "forms" / "demo.qfm";
    const std::filesystem::path installed =
        folder / ".." / "share" / "qorcal" / "forms" / "demo.qfm";
    return (std::filesystem::exists(beside, error) || !std::filesystem::exists(installed, error)
                ? beside
                : installed)
        .string();
}

bool ParseOptions(int argc, char** argv, TOptions& Options) {
    Options.Form = ShippedForm();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--headless")
            Options.Headless = true;
        else if (arg == "--form" && hasValue)
            Options.Form = argv[++i];
        else if (arg == "--ini" && hasValue)
            Options.Ini = argv[++i];
        else if (arg == "--screenshot" && hasValue)
            Options.Screenshot = argv[++i];
        else
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::cerr << "usage: " << argv[0]
                  << " [--form FILE] [--ini FILE] [--headless [--screenshot FILE]]\n";
        return 2;
    }
    if (options.Headless)
        qor::UseOffscreenDrawing();
    try {
        qor::TApplication app(argc, argv);
        std::unique_ptr<qor::TMessageBoxHandlerGuard> quietBoxes;
        if (options.Headless)
            quietBoxes = qor::MessageBoxesToStandardError();
        try {
            qor::RegisterDemoClasses();
            app.SetTitle("QorCal demo");
            auto* form = app.CreateForm<qor::TDemoForm>();
            form->LoadFormFile(options.Form);
            form->SetIniFileName(options.Ini);
            if (options.Headless) {
                const qor::TSessionFiles files{options.Screenshot, options.Ini};
                return qor::RunScriptedSession(app, *form, files, std::cout, std::cerr) ? 0 : 1;
            }
            form->Show();
            form->StartSession();
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
