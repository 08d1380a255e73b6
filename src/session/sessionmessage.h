#pragma once

#include <QString>

// A message for the technician in the system's own words. The window shows
// it as a modal box with an OK button, the console program prints it.
struct SessionMessage
{
    static constexpr char SystemInformation[] = "System Information";
    static constexpr char SystemInformationLower[] = "system information";

    QString text;
    QString title;  // empty: no title of its own (the window shows "7158K")
    QString detail; // shown on request ("Show Details...")

    bool operator==(const SessionMessage &o) const { return text == o.text && title == o.title; }
};
