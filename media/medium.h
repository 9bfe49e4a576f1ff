// The installation medium: what setup.exe finds beside itself, and what
// mediatool writes. Both sides take every file name from here, so that a
// rename on one side cannot ship a medium the other side does not install.
//
//   the medium folder:
//     setup.exe                      any name; the description is named after it
//     setup.ini                      optional: Name= and Title=
//     Setup.pkg                      the product's files (media/package_format.h)
//     Splash.bmp                     optional; shown only when stamped (media/digest.h)
//     icon.ico                       optional; the shortcuts' icon
//     Microsoft.VC80.CRT.manifest    required runtime files: setup stops
//     msvcp80.dll                    with a message when one cannot be
//     msvcr80.dll                    copied into the install folder
//     SHA256SUMS                     mediatool's checksums of every file above
//                                    (setup does not read it)
//     SHA256SUMS.p7s                 on a signed medium: a detached CMS signature
//                                    of SHA256SUMS by the setup program's signer
//
// Setup copies the side files in this order into the install folder, where
// the package has put the product, among it the program the shortcuts start
// and the installers the completion dialog offers.
#ifndef KELVRA_MEDIA_MEDIUM_H
#define KELVRA_MEDIA_MEDIUM_H

#include <string>

namespace medium {

constexpr char kPackageName[] = "Setup.pkg";
constexpr char kSplashName[] = "Splash.bmp";
constexpr char kIconName[] = "icon.ico";

struct SideFile {
    const char* name;
    bool required;   // setup stops when it cannot be copied
};
constexpr SideFile kSideFiles[] = {
    {kSplashName, false},
    {kIconName, false},
    {"Microsoft.VC80.CRT.manifest", true},
    {"msvcp80.dll", true},
    {"msvcr80.dll", true},
};

// Below the install folder, placed there by the package.
constexpr char kProgramName[] = "Kelvra.exe";                      // the shortcuts' target
constexpr char kDriverInstaller[] = "Corvane Driver\\setup.exe";   // offered when done
constexpr char kDotNetInstaller[] = "dotnetfx\\dotnetfx.exe";      // offered, never shown

// Written by mediatool beside the medium's files, as sha256sum -c reads it.
constexpr char kChecksumsName[] = "SHA256SUMS";
// The checksum file's detached signature; it covers that file, not itself.
constexpr char kChecksumsSignatureName[] = "SHA256SUMS.p7s";

// The runtime assembly the runtime files make up: the manifest names it,
// and both DLLs carry its version in their version resource.
constexpr char kRuntimeAssembly[] = "Microsoft.VC80.CRT";
constexpr char kRuntimeVersion[] = "8.0.50727.762";

// The product name when the description sets none.
constexpr char kDefaultProductName[] = "Kelvra";

// The description file of a setup program: its path cut right after the
// last "." anywhere in the path, then "ini" ("D:\Setup.exe" ->
// "D:\Setup.ini", "D:\Release.2\Setup" -> "D:\Release.ini", "D:\Setup" ->
// "D:\Setupini").
std::string DescriptionPathFor(const std::string& programPath);

} // namespace medium

#endif
