#pragma once
// A main window as the settings dialogs see it: its title strip, tree,
// grid and graphs, and counters for the services they call.
#include <QLabel>
#include <QWidget>

#include "components/audio/cAudioGraph.h"
#include "components/controls/cGrid.h"
#include "components/controls/cImageList.h"
#include "components/controls/cTreeView.h"
#include "core/MainWindowServices.h"

class FakeMainWindow : public MainWindowServices {
public:
    FakeMainWindow()
    {
        picTitle = new QWidget(&form);
        lblTitle = new QLabel(picTitle);
        cTreeView1 = new cTreeView(&form);
        cGrid1 = new cGrid(&form);
        cAudioGraphAmp = new cAudioGraph(cAudioGraph::AmplitudeGraph, &form);
        cAudioGraphFreq = new cAudioGraph(cAudioGraph::FrequencyGraph, &form);
        setMainWindow(this);
    }
    ~FakeMainWindow() override { setMainWindow(nullptr); }

    QWidget* Form() override { return &form; }
    void m_cMenu_Click(int) override {}
    void Form_Resize() override { ++resizes; }
    QString GetNotesToStatus() override { return {}; }
    // A tree like the real one: the lists root with one list per build.
    void setTree() override
    {
        ++treeBuilds;
        cTreeView1->Nodes().ClearNodes();
        cTreeNode root = cTreeView1->Nodes().AddNode(cTreeNode(), 0, "##MAINITEMS", "Items Lists");
        cTreeView1->Nodes().AddNode(root, 4, "list" + QString::number(treeBuilds), "List");
    }

    QWidget form;
    int resizes = 0;
    int treeBuilds = 0;
};
