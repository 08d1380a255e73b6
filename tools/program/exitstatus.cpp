#include "exitstatus.h"

int ExitStatus::of(PanelOutcome outcome)
{
    switch (outcome) {
    case PanelOutcome::None:
    case PanelOutcome::PanelFound:
    case PanelOutcome::DownloadFinished:
    case PanelOutcome::UploadFinished:
    case PanelOutcome::ZoneDownloadFinished:
    case PanelOutcome::ZoneUploadFinished:
    case PanelOutcome::ComparisonSame:
        return Done;
    case PanelOutcome::InputRefused:
    case PanelOutcome::TextRefused:
        return Usage;
    case PanelOutcome::NoPanel:
    case PanelOutcome::HardwareFail:
    case PanelOutcome::NoHardware:
    case PanelOutcome::AlreadyOpen:
    case PanelOutcome::DeviceUnavailable:
        return NoPanel;
    case PanelOutcome::PasswordRefused:
        return PasswordRefused;
    case PanelOutcome::ComparisonDiffers:
        return Differences;
    case PanelOutcome::DownloadRefused:
    case PanelOutcome::DownloadIncomplete:
    case PanelOutcome::UploadRefused:
    case PanelOutcome::UploadIncomplete:
    case PanelOutcome::ZoneDownloadRefused:
    case PanelOutcome::ZoneDownloadIncomplete:
    case PanelOutcome::ZoneUploadIncomplete:
    case PanelOutcome::ComparisonIncomplete:
    case PanelOutcome::DataError:
    case PanelOutcome::LineLost:
    case PanelOutcome::DownloadInProgress:
    case PanelOutcome::SearchInProgress:
    case PanelOutcome::NotOpen:
        break;
    }
    return Incomplete;
}
