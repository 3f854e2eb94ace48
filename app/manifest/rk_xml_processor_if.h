// IRkXMLProcessor: one processing pass over an update manifest. The polling
// loop creates one processor per fetched manifest, hands it the body, parses
// it once, asks for the flags and, when an update is due, lets it check the
// preconditions and run the installer. No operation throws.
#pragma once

#include <functional>
#include <memory>
#include <string>

class IRkXMLProcessor {
public:
    IRkXMLProcessor() = default;
    IRkXMLProcessor(const IRkXMLProcessor&) = delete;
    IRkXMLProcessor& operator=(const IRkXMLProcessor&) = delete;

    // Stores the manifest text (the HTTP body).
    virtual void SetXMLContent(const std::wstring& content) = 0;
    // Parses and distributes the lists; `detail` receives the result word
    // ("xmlparsingsuccess", "emptyresponsecontent", "xmlparsingfailed",
    // "xmlparsingexception").
    virtual bool ParseXMLContent(std::wstring& detail) = 0;
    // Polling interval in minutes, as text ("1440" until a manifest sets it).
    virtual std::wstring GetPollingTimeInMins() const = 0;
    virtual bool IsHeartBeatEnabled() const = 0;
    virtual bool IsUpdaterEnabled() const = 0;
    virtual bool IsRetryEnabled() const = 0;
    // `detail` receives a precondition result word ("preconditionsuccess",
    // "oscheckfailed", ...) or stays empty after an exception in the checker.
    virtual bool IsPreConditionSuccess(std::wstring& detail) = 0;
    // `detail` receives the installer result word ("executesuccesswithexitcode:3",
    // "downloadfailederror:0x800c0005", ...).
    virtual bool DownloadAndExecuteInstaller(std::wstring& detail) = 0;
    // True when the destination folder was deleted.
    virtual bool DeleteIfNeeded() = 0;
    virtual ~IRkXMLProcessor() = default;
};

// Makes the processor for one pass; the daemon takes one so tests can hand
// in their own. MakeRkXMLProcessor() (app/manifest/rk_xml_processor.h,
// library rk_app_manifest) is the real one.
using RkXMLProcessorFactory = std::function<std::shared_ptr<IRkXMLProcessor>()>;
