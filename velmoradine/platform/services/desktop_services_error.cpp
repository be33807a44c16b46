#include "velmoradine/platform/services/desktop_services_error.hpp"

#include "velmoradine/platform/foundation/error_enumeration.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    DesktopServicesError, desktopServicesErrorCategory, "Velmoradine.DesktopServices",
    {DesktopServicesError::noApplication, "No application is registered for this",
     DetailInDescription::afterColon},
    {DesktopServicesError::invalidDesktopEntry, "The application's desktop entry is unusable",
     DetailInDescription::afterColon},
    {DesktopServicesError::launchFailed, "The application could not be started",
     DetailInDescription::afterColon})

}  // namespace velmoradine
