#include "apps/tolbrin/program_version.h"

namespace tarnel::tolbrin {

ui::TInfoVersion ProgramVersion() {
  ui::TInfoVersion info;
  info.CompanyName = "Corvane";
  info.ProductName = "TARNEL Table Transfer Utility";
  info.ProductVersion = TARNEL_VERSION;
  info.FileDescription = "Copies Paradox and dBase tables, structure and data, into TARNEL tables.";
  info.LegalCopyright = "Copyright \u00A9 Corvane. All rights reserved.";
  info.Comments = "Part of the TARNEL Database System.";
  return info;
}

}  // namespace tarnel::tolbrin
