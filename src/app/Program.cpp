#include "app/Program.h"

#include "platform/PreferencesEnvironment.h"
#include "platform/QtDesktopServices.h"
#include "platform/UserLocale.h"

namespace kelvor::app {
namespace {

settings::PreferencesEnvironment EnvironmentOf(ProgramOptions& options) {
    if (options.Env)
        return *options.Env;
    return platform::CurrentPreferencesEnvironment();
}

}  // namespace

Program::Program(ProgramOptions options)
    : ownDesktop_(options.Desktop ? nullptr : std::make_unique<platform::QtDesktopServices>()),
      desktop_(options.Desktop ? options.Desktop : ownDesktop_.get()) {
    const settings::PreferencesEnvironment env = EnvironmentOf(options);
    form_ = std::make_unique<ui::MainWindow>(
        ui::WindowServices{prefs_, env, *desktop_, control_,
                           [](const QLocale& locale) { return platform::UserLocaleInfo(locale); }},
        options.Arguments);
    probe_ = std::make_unique<media::ProbeGraph>();
    graphs_ = std::make_unique<media::ConversionGraphs>(env.Locale);
    patcher_ = std::make_unique<avi::AviHeaderPatcher>();
    module_ = std::make_unique<commands::CommandModule>(commands::CommandServices{
        prefs_, *graphs_, *patcher_, *desktop_, form_->Host(), env.Locale, &control_});
    form_->AttachModules(ui::WindowModules{*module_, *probe_, *graphs_});
}

Program::~Program() {
    // The window stops every run before the modules the runs use go.
    form_.reset();
}

}  // namespace kelvor::app
