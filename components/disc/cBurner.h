#pragma once
// The burner component of the data CD maker's second engine: writes CDs and
// DVDs. Drives are numbered from 0; a new disc layout collects files and the
// file systems to write, and BurnToDrive writes it, returning at once. The
// burn reports through queued events and ends with exactly one of
// BurnerEnd (after BurnerCompleted and BurnerDoneBurn), BurnerMessage (a
// failure) or BurnerCanceled.
//
// ISO 9660 is always written; UseJoliet adds the Joliet names and UseUDF a
// UDF file system beside them (an ISO 9660 / UDF bridge disc).
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "components/disc/DataDiscBurn.h"

class DataBurnWorker;

class cBurner : public QObject {
    Q_OBJECT
public:
    explicit cBurner(QObject* parent = nullptr);
    ~cBurner() override;

    // False when the writing library cannot start on this machine.
    static bool Available();

    int DriveCount();
    QString DrivePath(int drive) const; // 0-based: "Z:"
    QString DriveName(int drive) const; // 0-based: the device or image file

    void NewDiscImage();
    void setUseISO9660(bool on) { m_iso = on; }
    void setUseJoliet(bool on) { m_joliet = on; }
    void setUseUDF(bool on) { m_udf = on; }
    bool UseISO9660() const { return m_iso; }
    bool UseJoliet() const { return m_joliet; }
    bool UseUDF() const { return m_udf; }
    void setVolumeLabel(const QString& label) { m_volumeLabel = label; }
    void setPublisherID(const QString& text) { m_publisher = text; }
    QString VolumeLabel() const { return m_volumeLabel; }
    // A file that cannot be read when the burn starts, or whose name is
    // already on the disc, is left out: BurnerAdding names only the files
    // that go on the disc.
    void AddDiscFile(const QString& path);
    QStringList DiscFiles() const { return m_files; }
    // Bytes a blank disc in the drive holds (a CD for a stdio writer); 0 when unknown.
    qint64 DiscCapacity(long drive);
    // Whether the drive is ready, and whether it holds a blank disc; why not in DriveProblem.
    bool IsDriveReady(long drive);
    bool IsDiscEmpty(long drive);
    QString DriveProblem() const { return m_driveProblem; }

    void BurnToDrive(long drive);
    bool Burning() const;
    // A running burn stops and ends with BurnerCanceled.
    void CancelBurn();
    // Stops a running burn without events.
    void ReleaseComponent();

signals:
    void BurnerInitializing();
    void BurnerAdding(const QString& path);
    void BurnerFileCount(long files, long folders);
    void StartBurning();
    void BurnerProgress(long percent);
    void BurnerFinalization();
    void BurnerCompleted();
    void BurnerDoneBurn();
    void BurnerCanceled();
    void BurnerMessage(const QString& first, const QString& second);
    void BurnerEnd();
    // A file goes on the disc under another name (Joliet's name length); sent before StartBurning.
    void FileRenamed(const QString& path, const QString& discName);

private:
    bool CheckDrive(long drive, bool blank);

    std::vector<datadisc::Writer> m_writers;
    QStringList m_files;
    QString m_volumeLabel;
    QString m_publisher;
    QString m_driveProblem;
    bool m_iso = true;
    bool m_joliet = true;
    bool m_udf = false;
    std::unique_ptr<DataBurnWorker> m_worker;
};
