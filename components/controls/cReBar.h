#pragma once
// A rebar: fills the picture box it is created in and lays its bands (toolbars)
// side by side.
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QHBoxLayout;

class cReBar : public QWidget {
    Q_OBJECT
public:
    explicit cReBar(QWidget* parent = nullptr);

    void setRebarStyle(int style) { m_style = style; }
    int RebarStyle() const { return m_style; }
    // Moves the rebar into the container and keeps it filling it.
    void CreateRebar(QWidget* container);
    // Adds a band holding the child; returns its 1-based index (0 before CreateRebar).
    int AddBand(QWidget* child, const QString& text, bool a, bool b, const QString& key);
    void setRebarBandOption(int option) { m_bandOption = option; }
    int RebarBandOption() const { return m_bandOption; }
    int BandCount() const { return int(m_keys.size()); }
    QString BandKey(int index) const;
    QWidget* BandChild(int index) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QHBoxLayout* m_layout = nullptr;
    QWidget* m_container = nullptr;
    QStringList m_keys;
    QVector<QWidget*> m_children;
    int m_style = 0;
    int m_bandOption = 0;
};
