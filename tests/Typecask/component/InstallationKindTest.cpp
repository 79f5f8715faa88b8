// Which installation is made: the first choice, and what follows when the
// system refuses one for want of rights.
#include <gtest/gtest.h>

#include "Typecask/component/Typecask.h"

namespace {

TEST(InstallationKind, FirstChoiceAndWhatFollowsARefusal) {
    using Os::TUserFonts;
    constexpr TUserFonts Any[] = {TUserFonts::SameAsMachine, TUserFonts::PerUser, TUserFonts::MachineOnly};
    const struct {
        bool Permanent;
        TInstallationKind Refused;
        TUserFonts UserFonts;
        TInstallationKind Expected;
        bool ForEveryUserFonts;  // the system's user fonts do not matter
    } Cases[] = {
        {false, ikNone, {}, ikTemporary, true},
        {true, ikNone, {}, ikMachineWide, true},
        // A standard user: the user's own fonts, else fonts for the run;
        // where the machine's installation is the user's, nothing is left.
        {true, ikMachineWide, TUserFonts::PerUser, ikPerUser, false},
        {true, ikMachineWide, TUserFonts::MachineOnly, ikTemporary, false},
        {true, ikMachineWide, TUserFonts::SameAsMachine, ikNone, false},
        {true, ikPerUser, {}, ikNone, true},
        {false, ikTemporary, {}, ikNone, true},
    };
    for (const auto& C : Cases)
        for (const TUserFonts UserFonts : Any) {
            if (!C.ForEveryUserFonts && UserFonts != C.UserFonts) continue;
            EXPECT_EQ(ChooseInstallationKind(C.Permanent, C.Refused, UserFonts), C.Expected)
                << C.Permanent << " refused " << C.Refused << " user fonts " << static_cast<int>(UserFonts);
        }
}

}  // namespace
