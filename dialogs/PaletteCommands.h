#pragma once

class QObject;

// The commands of the main palette that the file and effects palettes'
// buttons run. The main palette implements them; a secondary palette holds
// them borrowed and never sees the main palette itself.
class TPaletteCommands {
public:
    // File commands.
    virtual void Nouveau1Click(QObject* sender) = 0;
    virtual void Ouvrir1Click(QObject* sender) = 0;
    virtual void Enregistrer1Click(QObject* sender) = 0;
    virtual void Enregistrersous1Click(QObject* sender) = 0;
    // Effect commands.
    virtual void Mirroir1Click(QObject* sender) = 0;
    virtual void Flip1Click(QObject* sender) = 0;
    virtual void Vagueenabscisse1Click(QObject* sender) = 0;
    virtual void VagueY1Click(QObject* sender) = 0;
    virtual void Tunnel1Click(QObject* sender) = 0;
    virtual void Pouetpouet1Click(QObject* sender) = 0;
    virtual void Negatif1Click(QObject* sender) = 0;
    virtual void NoirBlanc1Click(QObject* sender) = 0;
    // Filter commands.
    virtual void Blur1Click(QObject* sender) = 0;
    virtual void Flou1Click(QObject* sender) = 0;
    virtual void Nettet1Click(QObject* sender) = 0;
    virtual void Estompage1Click(QObject* sender) = 0;
    virtual void Aquarelle1Click(QObject* sender) = 0;
    // Dialog commands.
    virtual void Couleurs1Click(QObject* sender) = 0;
    virtual void Contraste1Click(QObject* sender) = 0;

protected:
    ~TPaletteCommands() = default;
};
