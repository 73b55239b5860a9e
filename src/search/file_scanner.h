#pragma once
// Finds the entries of a folder tree whose names match any of a list of wildcard masks and
// collects their full paths, sorted case-insensitively in the user's collation, without
// duplicates.
//
// Threads: the scanner lives on its owner's thread (the user-interface thread). start() walks
// on a worker thread of its own; the worker touches only the request it was given and a small
// queue guarded by a mutex. fileFound and ready are emitted on the owner's thread, never from
// the worker. search() walks on the calling thread instead (tests, benchmarks, tools).
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <thread>

namespace search {

class FileScanner : public QObject {
    Q_OBJECT

public:
    explicit FileScanner(QObject* parent = nullptr);
    ~FileScanner() override; // cancels a running search

    // The folder to walk, with its trailing '/' (paths are the folder followed by the names
    // below it).
    QString filePath() const { return filePath_; }
    void setFilePath(const QString& folder) { filePath_ = folder; }

    // One mask per line; of each line only the part after the last '/', '\' or ':' is used.
    // A running search keeps the masks, folder and flag it started with.
    QStringList searchFilter() const { return searchFilter_; }
    void setSearchFilter(const QStringList& lines) { searchFilter_ = lines; }

    bool subDirectories() const { return subDirectories_; }
    void setSubDirectories(bool descend) { subDirectories_ = descend; }

    // The result of the last search that completed; kept until the next one completes.
    const QStringList& searchResult() const { return searchResult_; }

    bool isRunning() const { return job_ != nullptr || searchingHere_; }

    // Starts a search on a worker thread and returns at once; false (and nothing happens) while
    // a search is running.
    bool start();

    // Ends a running search within milliseconds: after it returns, nothing more is emitted for
    // that search and searchResult() is unchanged. Does nothing when idle.
    void cancel();

    // Runs a complete search on the calling thread and emits fileFound and ready before it
    // returns; false while an asynchronous search is running.
    bool search();

signals:
    // Once for every mask an entry matches (twice for an entry matching two masks).
    void fileFound(const QString& path);
    // Once at the end of every search that was not cancelled, also when nothing was found.
    void ready(const QStringList& result);

protected:
    bool event(QEvent* event) override;

private:
    struct Job;
    class HandOverEvent;

    void deliverFound(const std::shared_ptr<Job>& job);
    void finish(const std::shared_ptr<Job>& job, QStringList result);
    void runWorker(std::shared_ptr<Job> job);
    void stopWorker();

    QString filePath_;
    QStringList searchFilter_;
    bool subDirectories_ = true;
    QStringList searchResult_;
    bool searchingHere_ = false; // search() is under way on this thread

    std::shared_ptr<Job> job_; // the running search, null when idle
    std::thread worker_;
};

} // namespace search
