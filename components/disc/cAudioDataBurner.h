#pragma once
// The data burner component of the data CD maker's first engine: lists the
// writer drives and their speeds, checks the disc, collects the files of a
// data disc and burns them as an ISO 9660 + Joliet disc. Drives are named by
// their letter, the first character of DriveName. BurnToDrive returns at
// once; the burn reports through queued events and ends with exactly one of
// BurnFinished or BurnStopped.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "components/disc/DataDiscBurn.h"

class DataBurnWorker;

class cAudioDataBurner : public QObject {
    Q_OBJECT
public:
    explicit cAudioDataBurner(QObject* parent = nullptr);
    ~cAudioDataBurner() override;

    int DriveCount();
    QString DriveName(int drive) const; // 1-based
    // The write speeds of the drive, read afresh; SpeedKBs reads this list.
    int SpeedCount(const QString& driveLetter);
    int SpeedKBs(int speed) const; // 1-based
    bool IsDriveReady(const QString& driveLetter);
    bool IsDiscEmpty(const QString& driveLetter);
    // Why the last drive checked is not ready or not empty; empty when it is both.
    QString DriveProblem() const { return m_driveProblem; }
    // Bytes a blank disc in the drive holds (a CD for a stdio writer); 0 when unknown.
    qint64 DiscCapacity(const QString& driveLetter);
    // Removes what a burn to a stdio writer left when it never ended.
    void ClearStaleImages();

    // True when the file can be read and no file of that name is on the disc yet.
    bool AddDiscFile(const QString& path);
    QStringList DiscFiles() const { return m_files; }

    void setVolumeLabel(const QString& label) { m_volumeLabel = label; }
    QString VolumeLabel() const { return m_volumeLabel; }
    void setFileSystem(const QString& fs) { m_fileSystem = fs; }
    void setIdentityText1(const QString& t) { m_identity1 = t; }
    void setIdentityText2(const QString& t) { m_identity2 = t; }
    void setBurnFlag(bool flag) { m_burnFlag = flag; }
    void setPublisherID(const QString& t) { m_publisher = t; }

    // Speed in KB/s; 65535 or 0 for the drive's fastest. The added files are
    // cleared once the burn ends.
    void BurnToDrive(const QString& driveLetter, long speed);
    bool Burning() const;
    // A running burn stops and ends with BurnStopped(ErrCancelled, "Aborted.").
    void CancelBurn();

    void EjectTray(const QString& driveLetter);
    void CloseTray(const QString& driveLetter);

    // Stops a running burn without events and forgets the added files.
    void ReleaseComponent();

signals:
    void ClosingSession();
    void BurnFinished();
    void BurnStarted();
    void BurnProgress(int percent);
    void BurnStopped(long code, const QString& text);
    // A file goes on the disc under another name (Joliet's name length); sent before BurnStarted.
    void FileRenamed(const QString& path, const QString& discName);

private:
    QString addressOf(const QString& driveLetter) const;
    void refreshWriters();
    bool CheckDrive(const QString& driveLetter, bool blank);

    std::vector<datadisc::Writer> m_writers;
    bool m_writersRead = false;
    std::vector<int> m_speeds;
    QStringList m_files;
    QString m_volumeLabel;
    QString m_fileSystem;
    QString m_identity1;
    QString m_identity2;
    QString m_publisher;
    QString m_driveProblem;
    bool m_burnFlag = false;
    std::unique_ptr<DataBurnWorker> m_worker;
};
