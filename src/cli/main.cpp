// vorna-cli: runs a parameter script from start to finish without a window.
#include <unistd.h>

#include <cstdio>

#include "cli/CliOptions.h"
#include "cli/CliRunner.h"
#include "cli/CliSweep.h"
#include "cli/ModelTable.h"
#include "formulajit/FormulaJit.h"
#include "imageio/MapPictureReader.h"
#include "rdsimul/kernels/FastKernels.h"

int main(int argc, char *argv[]) {
    // The scripts' map and initmap pictures in PNG, BMP and TGA, for runs and sweeps alike.
    MapPictureReader::Install();
    // Formula models as machine code made for their formulas.
    FormulaJit::Install();
    CliOptions options;
    switch (options.Parse(argc, argv)) {
        case CliOptions::Action::Help:
            std::fputs(options.HelpText().c_str(), stdout);
            return CliRunner::ExitDone;
        case CliOptions::Action::Version:
            std::fputs(CliOptions::VersionText().c_str(), stdout);
            return CliRunner::ExitDone;
        case CliOptions::Action::ListModels:
            std::fputs(ModelTableMarkdown().c_str(), stdout);
            return CliRunner::ExitDone;
        case CliOptions::Action::UsageError:
            std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n",
                         options.ProgramName.c_str(), options.ErrorText.c_str(),
                         options.ProgramName.c_str());
            return CliRunner::ExitUsage;
        case CliOptions::Action::Run:
            break;
        case CliOptions::Action::Sweep:
            CliRunner::ChooseLanguage();
            return CliSweep::Run(options, stdout, stderr);
        case CliOptions::Action::ContactSheet:
            return CliSweep::BuildContactSheet(options, stdout, stderr);
    }
    if (options.Threads > 0) SetFastThreadCount(options.Threads);
    CliRunner::ChooseLanguage();
    CliRunner::InstallInterruptHandler();
    CliRunner runner(stdout, stderr, isatty(STDERR_FILENO) != 0);
    return runner.Run(options);
}
