// Which installation is made: the first choice, by the licence, and what
// follows when the system refuses one for want of rights.
#include <gtest/gtest.h>

#include "Typecask/component/Typecask.h"

namespace {

TEST(InstallationKind, ByLicenceAndByRefusal) {
    using Os::TEmbeddingPermission;
    using Os::TUserFonts;
    constexpr TUserFonts Any[] = {TUserFonts::SameAsMachine, TUserFonts::PerUser, TUserFonts::MachineOnly};
    constexpr auto Installable = TEmbeddingPermission::Installable;
    const struct {
        bool Permanent;
        TEmbeddingPermission Licence;
        TInstallationKind Refused;
        TUserFonts UserFonts;
        TInstallationKind Expected;
        bool ForEveryUserFonts;  // the system's user fonts do not matter
        bool Subset = false;
    } Cases[] = {
        {false, Installable, ikNone, {}, ikTemporary, true},
        {true, Installable, ikNone, {}, ikMachineWide, true},
        // A licence that allows no installation for good: for the run.
        {true, TEmbeddingPermission::Editable, ikNone, {}, ikTemporary, true},
        {true, TEmbeddingPermission::PreviewAndPrint, ikNone, {}, ikTemporary, true},
        {true, TEmbeddingPermission::Restricted, ikNone, {}, ikTemporary, true},
        {true, TEmbeddingPermission::BitmapOnly, ikNone, {}, ikTemporary, true},
        // A standard user: the user's own fonts, else fonts for the run;
        // where the machine's installation is the user's, nothing is left.
        {true, Installable, ikMachineWide, TUserFonts::PerUser, ikPerUser, false},
        {true, Installable, ikMachineWide, TUserFonts::MachineOnly, ikTemporary, false},
        {true, Installable, ikMachineWide, TUserFonts::SameAsMachine, ikNone, false},
        {true, Installable, ikPerUser, {}, ikNone, true},
        {false, Installable, ikTemporary, {}, ikNone, true},
        // A subset never stays, whatever the form asks.
        {true, Installable, ikNone, {}, ikTemporary, true, true},
        {false, Installable, ikNone, {}, ikTemporary, true, true},
        {true, TEmbeddingPermission::Editable, ikNone, {}, ikTemporary, true, true},
        {true, Installable, ikTemporary, {}, ikNone, true, true},
    };
    for (const auto& C : Cases)
        for (const TUserFonts UserFonts : Any) {
            if (!C.ForEveryUserFonts && UserFonts != C.UserFonts) continue;
            EXPECT_EQ(ChooseInstallationKind({C.Permanent, C.Licence, C.Refused, UserFonts, C.Subset}), C.Expected)
                << C.Permanent << " licence " << static_cast<int>(C.Licence) << " refused " << C.Refused
                << " subset " << C.Subset
                << " user fonts " << static_cast<int>(UserFonts);
        }
}

}  // namespace
