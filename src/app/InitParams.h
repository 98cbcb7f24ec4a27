#pragma once
#include <string>

namespace kestrun {

class AppMain;
class StringUtilities;

// Asks for the six settings of an update run, one input box after another, and keeps each answer in
// the controller and under `strKey` in the registry. Cancel (or an emptied box) leaves a setting
// alone; an answer is kept exactly as typed. The local folder offered defaults to
// `strProgramFolder` with one trailing separator. Failures are reported as the driver's
// ".InitParams: " and end the set-up; the settings not asked yet keep their values.
void AskRunSettings(AppMain& objAM, const StringUtilities& su, const std::string& strProgramFolder,
                    const std::string& strKey);

}  // namespace kestrun
