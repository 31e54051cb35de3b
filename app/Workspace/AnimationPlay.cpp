// The workspace's named animations: a list for the legs and one for the
// torso (one for a model alone), each on its own clock, played at the
// file's speed, a player standing (LEGS_IDLE, TORSO_STAND) until told.
#include "app/Workspace/WorkspaceWindow.h"
#include "game/ModelAnimations.h"
#include "game/ModelGame.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <tuple>

namespace {

// The animations of `model` that move `part` (Whole: any) within `frames`.
std::vector<Animation> Moving(const std::vector<Animation>& all, Animation::Part part, int frames) {
    std::vector<Animation> kept;
    for (const Animation& a : all) {
        const bool moves = part == Animation::Part::Whole || a.part == part ||
                           a.part == Animation::Part::Both || a.part == Animation::Part::Whole;
        if (moves && FramesPastTheModel(a, frames).empty())
            kept.push_back(a);
    }
    return kept;
}

void Fill(QComboBox* box, const std::vector<Animation>& choices, const char* standing) {
    const QSignalBlocker quiet(box);
    box->clear();
    box->addItem(WorkspaceWindow::tr("Frames"));
    int stand = 0;
    for (const Animation& a : choices) {
        box->addItem(QString::fromStdString(a.name));
        if (a.name == standing)
            stand = box->count() - 1;
    }
    box->setCurrentIndex(stand);
    box->setVisible(!choices.empty());
}

} // namespace

void WorkspaceWindow::FillAnimations(const std::shared_ptr<const Model>& model, int legsFrames,
                                     int torsoFrames) {
    const bool joined = torsoFrames > 0;
    if (model && m_animationsOf.lock() == model && joined == m_animationsJoined)
        return;
    m_animationsOf = model;
    m_animationsJoined = joined;
    std::vector<Animation> all;
    const ModelTextures& textures = m_source.textures();
    if (model && textures.files()) {
        const Result<ModelAnimations> found =
            AnimationsOf(*model, *textures.files(), textures.modelGamePath());
        if (found.ok())
            all = found.value().animations;
    } else if (model) {
        all = model->animations.empty() ? GroupFramesByName(model->frameNames) : model->animations;
    }
    const int own = model && model->format == "MD3" ? PlayerPartOf(textures.modelGamePath()) : -1;
    if (joined) {
        m_legsChoices = Moving(all, Animation::Part::Legs, legsFrames);
        m_torsoChoices = Moving(all, Animation::Part::Torso, torsoFrames);
    } else if (own == 2) {
        m_legsChoices.clear(); // the head plays no animation of its own
        m_torsoChoices.clear();
    } else {
        m_legsChoices = Moving(all,
                               own == 0   ? Animation::Part::Legs
                               : own == 1 ? Animation::Part::Torso
                                          : Animation::Part::Whole,
                               legsFrames);
        m_torsoChoices.clear();
    }
    Fill(m_legsAnimation, m_legsChoices, joined || own == 0 ? "LEGS_IDLE" : "TORSO_STAND");
    Fill(m_torsoAnimation, m_torsoChoices, "TORSO_STAND");
    m_torsoAnimation->setVisible(joined && !m_torsoChoices.empty());
    m_legsTime = m_torsoTime = 0;
    m_legsBlending = m_torsoBlending = false;
    m_play->setVisible(!m_legsChoices.empty() || !m_torsoChoices.empty());
    m_step->setVisible(m_play->isVisibleTo(this));
    if (m_legsChoices.empty() && m_torsoChoices.empty())
        SetPlaying(false);
    // Into the sliders before the scene is built from them.
    for (const auto& [box, choices, slider, time] :
         {std::tuple{m_legsAnimation, &m_legsChoices, m_frame, m_legsTime},
          std::tuple{m_torsoAnimation, &m_torsoChoices, m_torsoFrame, m_torsoTime}}) {
        const int index = box->currentIndex();
        if (index > 0 && index <= int(choices->size())) {
            const QSignalBlocker quiet(slider);
            slider->setValue(FrameAtTime((*choices)[size_t(index - 1)], time).from);
        }
    }
    m_frameLabel->setText(QString::number(m_frame->value()));
    m_torsoLabel->setText(QString::number(m_torsoFrame->value()));
}

void WorkspaceWindow::ShowAnimationFrames() {
    bool moved = false;
    for (const auto& [box, choices, slider, time, at, blending] :
         {std::tuple{m_legsAnimation, &m_legsChoices, m_frame, m_legsTime, &m_legsAt,
                     &m_legsBlending},
          std::tuple{m_torsoAnimation, &m_torsoChoices, m_torsoFrame, m_torsoTime, &m_torsoAt,
                     &m_torsoBlending}}) {
        const int index = box->currentIndex();
        if (index <= 0 || index > int(choices->size()))
            continue;
        const AnimationFrame f = FrameAtTime((*choices)[size_t(index - 1)], time);
        const PartFrame now{f.from, f.to, float(f.blend)};
        if (slider->value() != f.from || !*blending || now.next != at->next ||
            now.blend != at->blend) {
            const QSignalBlocker quiet(slider);
            slider->setValue(f.from);
            *at = now;
            *blending = true;
            moved = true;
        }
    }
    if (moved)
        BuildScene(false);
}

PartFrame WorkspaceWindow::LegsFrame() const {
    const int frame = m_frame->value();
    return m_legsBlending && m_legsAt.frame == frame ? m_legsAt : PartFrame{frame, frame, 0};
}

PartFrame WorkspaceWindow::TorsoFrame() const {
    const int frame = m_torsoFrame->value();
    return m_torsoBlending && m_torsoAt.frame == frame ? m_torsoAt : PartFrame{frame, frame, 0};
}

void WorkspaceWindow::AnimationChosen(bool torso) {
    (torso ? m_torsoTime : m_legsTime) = 0; // each plays from its start
    bool& blending = torso ? m_torsoBlending : m_legsBlending;
    if (blending) { // "Frames", or another animation: not the last one's blend
        blending = false;
        BuildScene(false);
    }
    ShowAnimationFrames();
}

bool WorkspaceWindow::ChooseAnimation(const QString& name) {
    for (QComboBox* box : {m_legsAnimation, m_torsoAnimation}) {
        const int index = box->findText(name);
        if (index > 0 && box->isVisibleTo(this)) {
            box->setCurrentIndex(index);
            AnimationChosen(box == m_torsoAnimation);
            return true;
        }
    }
    return false;
}

void WorkspaceWindow::StepAnimations() {
    SetPlaying(false);
    for (const auto& [box, choices, time] :
         {std::tuple{m_legsAnimation, &m_legsChoices, &m_legsTime},
          std::tuple{m_torsoAnimation, &m_torsoChoices, &m_torsoTime}}) {
        const int index = box->currentIndex();
        if (index > 0 && index <= int(choices->size()))
            *time = NextFrameTime((*choices)[size_t(index - 1)], *time);
    }
    ShowAnimationFrames();
}

bool WorkspaceWindow::playing() const {
    return m_clock->isActive();
}

void WorkspaceWindow::SetPlaying(bool play) {
    if (play == playing())
        return;
    if (play) {
        m_tick.start();
        m_clock->start();
    } else {
        m_clock->stop();
    }
    const QSignalBlocker quiet(m_play);
    m_play->setChecked(play);
    m_play->setText(play ? tr("Pause") : tr("Play"));
}
